#include "tools/qvrtool/ReadBackFields.h"

#include "model/ChannelConfig.h"
#include "model/ParameterMap.h"

bool CReadBackFields::IsReadBack(int nChannel, EChannelField eField, int nMode, bool bNoLeftRightCenter)
{
    if (nChannel < 0 || nChannel >= CHANNEL_COUNT ||
        (bNoLeftRightCenter && (nChannel == CHANNEL_LEFT_CENTER || nChannel == CHANNEL_RIGHT_CENTER)))
        return false;
    const ReadChannelPlan plan = GetReadChannelPlan(nChannel, nMode);
    for (int i = 0; i < plan.nParameters; ++i)
        if (FieldForParameter(nChannel, plan.parameters[i]) == eField) {
            // In Biamp the Mid setters keep nothing: the reply changes nothing.
            const bool bMidGuarded = eField >= FIELD_MID_LP_FREQ && eField <= FIELD_MID_FLAGS;
            return !(bMidGuarded && nMode == MODE_BIAMP);
        }
    for (int i = 0; i < plan.nOutputs; ++i) {
        int nOutChannel = -1;
        EBand band = BAND_LOW;
        if (OutputToBand(plan.outputs[i], nMode, &nOutChannel, &band) && nOutChannel == nChannel) {
            const EChannelField eGain =
                band == BAND_LOW ? FIELD_LOW_GAIN : band == BAND_MID ? FIELD_MID_GAIN : FIELD_HIGH_GAIN;
            if (eGain == eField)
                return true;
        }
    }
    return false;
}
