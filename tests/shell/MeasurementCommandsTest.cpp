// The measurements' sidecar at Save and Open, without the dialogs: where it
// lies, that Save writes one only when there is something to keep or an old
// one to replace (removed measurements must not come back), and that Open
// takes the sidecar's document or, without one, none.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "shell/MeasurementCommands.h"

namespace {

CMeasurement Flat(double dDb)
{
    std::vector<SMeasurementPoint> points;
    for (double f = 20.0; f <= 20000.0; f *= 1.2)
        points.push_back(SMeasurementPoint{f, dDb, 0.0});
    CMeasurement m;
    std::string error;
    EXPECT_TRUE(CMeasurement::FromPoints(points, false, m, error)) << error;
    return m;
}

std::wstring TempFolder()
{
    wchar_t sz[MAX_PATH];
    ::GetTempPathW(MAX_PATH, sz);
    std::wstring folder = std::wstring(sz) + L"qvr.sidecar.test"; // a dot in the folder's name
    ::CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

} // namespace

TEST(MeasurementCommands, TheSidecarLiesBesideTheConfigurationUnderItsName)
{
    EXPECT_EQ(CMeasurementCommands::SidecarPath(L"C:\\shows\\screen1.qvr"), L"C:\\shows\\screen1.qvm");
    EXPECT_EQ(CMeasurementCommands::SidecarPath(L"C:\\shows.2024\\screen1"), L"C:\\shows.2024\\screen1.qvm");
    EXPECT_EQ(CMeasurementCommands::SidecarPath(L"C:\\shows\\\u00c9cran 1.qvr"), L"C:\\shows\\\u00c9cran 1.qvm");
}

TEST(MeasurementCommands, SaveKeepsWhatIsAttachedAndARemovalAndOpenTakesTheSidecarsDocument)
{
    const std::wstring config = TempFolder() + L"\\screen1.qvr";
    const std::wstring sidecar = CMeasurementCommands::SidecarPath(config);
    ::DeleteFileW(sidecar.c_str());

    CMeasurementCommands commands;
    // Nothing attached and no sidecar: none is written.
    EXPECT_TRUE(commands.SaveBeside(nullptr, config.c_str()));
    EXPECT_FALSE(Exists(sidecar));

    CSidecar& doc = commands.Overlay().Document();
    doc.channels[CHANNEL_RIGHT].room = SSidecarMeasurement{"right.txt", Flat(82.0), EPhaseChoice::Minimum};
    doc.channels[CHANNEL_RIGHT].asMeasured = CChannelConfig(CHANNEL_RIGHT);
    doc.view.eTarget = ETargetCurve::X1000;
    EXPECT_TRUE(commands.SaveBeside(nullptr, config.c_str()));
    ASSERT_TRUE(Exists(sidecar));

    // Open: the document is the sidecar's, whatever was attached before.
    doc.channels[CHANNEL_LEFT].room = SSidecarMeasurement{"left.txt", Flat(70.0), {}};
    doc.channels[CHANNEL_LEFT].asMeasured = CChannelConfig(CHANNEL_LEFT);
    EXPECT_TRUE(commands.OpenBeside(nullptr, config.c_str()));
    EXPECT_FALSE(doc.channels[CHANNEL_LEFT].room);
    ASSERT_TRUE(doc.channels[CHANNEL_RIGHT].room);
    EXPECT_EQ(doc.channels[CHANNEL_RIGHT].room->name, "right.txt");
    EXPECT_EQ(doc.channels[CHANNEL_RIGHT].room->ePhase, EPhaseChoice::Minimum);
    EXPECT_EQ(doc.view.eTarget, ETargetCurve::X1000);

    // Everything removed and saved: the sidecar is replaced, not left to
    // bring the measurements back at the next Open.
    doc = CSidecar();
    EXPECT_TRUE(commands.SaveBeside(nullptr, config.c_str()));
    doc.channels[CHANNEL_CENTER].room = SSidecarMeasurement{"c.txt", Flat(70.0), {}};
    EXPECT_TRUE(commands.OpenBeside(nullptr, config.c_str()));
    EXPECT_TRUE(doc.IsEmpty());

    // A configuration without a sidecar opens without measurements.
    ::DeleteFileW(sidecar.c_str());
    doc.channels[CHANNEL_CENTER].room = SSidecarMeasurement{"c.txt", Flat(70.0), {}};
    EXPECT_TRUE(commands.OpenBeside(nullptr, config.c_str()));
    EXPECT_TRUE(doc.IsEmpty());
}
