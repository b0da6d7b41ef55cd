#include "device/records/NotificationRecord.h"

#include <cmath>
#include <cstring>

#include "device/RXQueue.h"
#include "protocol/QVRSCP.h"
#include "model/ParameterMap.h"

CNotificationRecord::Bytes CNotificationRecord::Value(std::uint8_t bChannel, std::uint8_t bParameter, float fltValue)
{
    Bytes record{};
    record[0] = RX_VALUE;
    record[1] = bChannel;
    record[2] = bParameter;
    std::memcpy(record.data() + 4, &fltValue, 4);
    return record;
}

CNotificationRecord::Bytes CNotificationRecord::Command(const std::uint8_t (&request)[16],
                                                        const std::uint8_t (&reply)[16])
{
    Bytes record{};
    record[0] = RX_COMMAND;
    std::memcpy(record.data() + 8, reply, 16);
    record[8] = 0;
    record[9] = 0;
    record[10] = request[2];
    if (request[2] == CMD_READ_OUTPUT) {
        std::memcpy(record.data() + 15, request + 7, 4);
        const float fltShown = ShownOutput(RXWordAsFloat(SCP_GetWord(reply, 11)));
        std::memcpy(record.data() + 19, &fltShown, 4);
    }
    return record;
}

CNotificationRecord::Bytes CNotificationRecord::Simple(std::uint8_t bKind, std::uint8_t bChannel)
{
    Bytes record{};
    record[0] = bKind;
    record[1] = bChannel;
    return record;
}

// The product is taken in single precision as the value itself is single
// precision, so a stored -0.7 reads back as -7 tenths, not -6.
float CNotificationRecord::ShownOutput(float fltUnit)
{
    const float fltTenths = fltUnit * 10.0f;
    const double dblWhole = std::trunc(static_cast<double>(fltTenths));
    const float fltScaled = static_cast<float>(dblWhole * 0.1);
    return fltScaled + 8.0f;
}
