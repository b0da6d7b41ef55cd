#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/qvrtool/FleetOutcome.h"
#include "tools/qvrtool/FleetPlan.h"

namespace {

std::vector<SDeviceEntry> Attached()
{
    // Three entries of QVR500_DEVICES, then two serial ports of the machine.
    CDeviceList list = CDeviceList::Parse("tcp:127.0.0.1:5500:QVR500 USB:SN1;tcp:127.0.0.1:5501:QVR500 USB:SN2;"
                                          "sim:hall,instant:USBXpress Device:SN3");
    list.AppendSerialPorts({"COM3", "COM7"});
    return list.Entries();
}

std::vector<std::string> Serials(const std::vector<CFleetPlan::SUnit>& units)
{
    std::vector<std::string> s;
    for (const auto& u : units)
        s.push_back(u.entry.serial);
    return s;
}

// How the C runtime of a Windows program splits its command line (the
// rules CommandLineToArgvW documents), to check the quoting against.
std::vector<std::string> SplitLikeWindows(const std::string& line)
{
    std::vector<std::string> args;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        if (i == line.size())
            break;
        std::string arg;
        bool bQuoted = false;
        for (; i < line.size() && (bQuoted || (line[i] != ' ' && line[i] != '\t')); ++i) {
            std::size_t n = 0;
            while (i < line.size() && line[i] == '\\') {
                ++n;
                ++i;
            }
            if (i < line.size() && line[i] == '"') {
                arg.append(n / 2, '\\');
                if (n % 2)
                    arg += '"';
                else
                    bQuoted = !bQuoted;
            } else {
                arg.append(n, '\\');
                if (i == line.size() || (!bQuoted && (line[i] == ' ' || line[i] == '\t')))
                    break;
                arg += line[i];
            }
        }
        args.push_back(arg);
    }
    return args;
}

} // namespace

TEST(FleetPlan, AllTakesTheDeviceListButNeverTheMachinesSerialPorts)
{
    std::vector<CFleetPlan::SUnit> units;
    std::string error;
    ASSERT_TRUE(CFleetPlan::Select(Attached(), 3, true, "", units, error)) << error;
    EXPECT_EQ(Serials(units), (std::vector<std::string>{"SN1", "SN2", "SN3"}));
    EXPECT_EQ(units[1].nIndex, 1);

    // Only serial ports attached: --all finds nothing to send to.
    EXPECT_FALSE(CFleetPlan::Select(Attached(), 0, true, "", units, error));
    EXPECT_NE(error.find("serial ports are taken only when named"), std::string::npos) << error;
}

TEST(FleetPlan, UnitsListTakesIndexesSerialsAndEntriesOnceEach)
{
    std::vector<CFleetPlan::SUnit> units;
    std::string error;
    // A named port, a serial, an index naming the same unit again, and an
    // entry whose options and description hold commas.
    ASSERT_TRUE(CFleetPlan::Select(Attached(), 3, false,
                                   "4, SN2,1,sim:x,instant,nolcr:Hall 7, left:SN9,tcp:10.0.0.2:4001:QVR500 USB:SN10",
                                   units, error))
        << error;
    ASSERT_EQ(Serials(units), (std::vector<std::string>{"COM7", "SN2", "SN9", "SN10"}));
    EXPECT_EQ(units[0].stem, "_COM7"); // never COM7.qvr: Windows opens the port for that name
    EXPECT_TRUE(units[2].entry.bInstant && units[2].entry.bNoLcr);
    EXPECT_EQ(units[2].entry.description, "Hall 7, left");
    EXPECT_EQ(units[2].nIndex, -1);

    for (const char* pszBad : {"SN1,,SN2", "7", "SNX", "tcp:host:0:D:S", ""}) {
        EXPECT_FALSE(CFleetPlan::Select(Attached(), 3, false, pszBad, units, error)) << pszBad;
        EXPECT_FALSE(error.empty());
    }
}

TEST(FleetPlan, UnitsThatWouldShareAFileAreBothLeftAlone)
{
    const CDeviceList list = CDeviceList::Parse("tcp:h:1:D:Hall/7;tcp:h:2:D:hall_7;tcp:h:3:D:ok");
    std::vector<CFleetPlan::SUnit> units;
    std::string error;
    ASSERT_TRUE(CFleetPlan::Select(list.Entries(), 3, true, "", units, error)) << error;
    EXPECT_NE(units[0].refusal.find("would also be the file of"), std::string::npos);
    EXPECT_NE(units[1].refusal.find("would also be the file of"), std::string::npos);
    EXPECT_TRUE(units[2].refusal.empty());
}

TEST(FleetPlan, FileStemsAreSafeNamesOnWindows)
{
    EXPECT_EQ(CFleetPlan::FileStem("SN-0042_a.b"), "SN-0042_a.b");
    EXPECT_EQ(CFleetPlan::FileStem("..\\..\\evil"), "_._.._evil");
    EXPECT_EQ(CFleetPlan::FileStem("a/b:c*d?\"<>|"), "a_b_c_d_____");
    EXPECT_EQ(CFleetPlan::FileStem("\xC3\xA9t\xC3\xA9"), "__t__");
    for (const char* pszReserved : {"CON", "nul", "Com1", "LPT9.x", "aux.qvr", "prn"})
        EXPECT_EQ(CFleetPlan::FileStem(pszReserved)[0], '_') << pszReserved;
    EXPECT_EQ(CFleetPlan::FileStem("COM10"), "COM10");
    EXPECT_EQ(CFleetPlan::FileStem(std::string(300, 'x')).size(), CFleetPlan::MAX_STEM);
    EXPECT_EQ(CFleetPlan::FileStem(""), "");
}

TEST(FleetPlan, EntryTextReachesTheSameUnit)
{
    for (const SDeviceEntry& e : Attached()) {
        const CDeviceList again = CDeviceList::Parse(CFleetPlan::EntryText(e));
        ASSERT_EQ(again.Entries().size(), 1u) << CFleetPlan::EntryText(e);
        EXPECT_EQ(CDeviceList::Describe(again.Entries()[0]), CDeviceList::Describe(e));
    }
}

TEST(FleetPlan, QuotedArgumentsSplitBackUnchanged)
{
    const std::vector<std::string> args = {"pull",      "tcp:127.0.0.1:5500:QVR500 USB:SN 1", "",  "a\"b",
                                           "C:\\dir\\", "C:\\my dir\\",  "x\\\\\"y", "tab\there"};
    std::string line = "qvrtool.exe";
    for (const std::string& a : args)
        line += " " + CFleetPlan::QuoteArgument(a);
    std::vector<std::string> split = SplitLikeWindows(line);
    ASSERT_FALSE(split.empty());
    split.erase(split.begin());
    EXPECT_EQ(split, args) << line;
}

TEST(FleetOutcome, ResultsOfEachVerbAndExit)
{
    using V = CFleetOutcome::EVerb;
    const auto judge = [](V verb, unsigned long nExit, std::string out, std::string err) {
        CFleetOutcome::SStep s;
        s.verb = verb;
        s.nExit = nExit;
        s.out = std::move(out);
        s.err = std::move(err);
        s.names = {"tcp:h:1:D:SN1", "Z:\\b\\SN1.qvr"};
        return CFleetOutcome::Judge(s);
    };
    EXPECT_EQ(judge(V::Pull, 0, "", "").text, "done");
    EXPECT_EQ(judge(V::Push, 0, "0 writes sent; the unit holds x\n", "").text, "already equal");
    EXPECT_EQ(judge(V::Push, 0, "10 writes sent; the unit holds x\n", "").text, "done");
    EXPECT_EQ(judge(V::Diff, 0, "", "qvrtool: note: the unit holds no names\n").text, "already equal");

    const auto differs = judge(V::Diff, 1, "record 0 m_fltLevel: 0 -> 1\r\nrecord 5 m_fltDelay: 0 -> 2\nprofile screen: \"\" -> \"7\"\n", "");
    EXPECT_EQ(differs.nExit, 1);
    EXPECT_EQ(differs.text, "differs: 3 fields");

    const auto lost = judge(V::Pull, 2, "",
                            "reading the unit [###   ] 3 of 90\rqvrtool: Z:\\b\\SN1.qvr: warning: x\n"
                            "qvrtool: unit tcp:h:1:D:SN1: Communication to active device has been lost.\n");
    EXPECT_EQ(lost.nExit, 2);
    EXPECT_EQ(lost.text, "failed: Communication to active device has been lost.");
    EXPECT_EQ(judge(V::Push, 2, "", "qvrtool: Z:\\b\\SN1.qvr: cannot open: No such file\n").text,
              "failed: cannot open: No such file");

    const auto verify = judge(V::Firmware, 1, "", "qvrtool: unit tcp:h:1:D:SN1: Verify failed at 0x90000010.\n");
    EXPECT_EQ(verify.nExit, 1);
    EXPECT_EQ(verify.text, "failed: Verify failed at 0x90000010.");

    // A child that crashed: its exception code, never a success.
    const auto crash = judge(V::Pull, 0xC0000005ul, "", "");
    EXPECT_EQ(crash.nExit, 2);
    EXPECT_EQ(crash.text, "failed: qvrtool ended with code 0xC0000005");
    EXPECT_EQ(judge(V::Report, 1, "", "").nExit, 2);

    CFleetOutcome::SStep notStarted;
    notStarted.bStarted = false;
    notStarted.err = "qvrtool could not be started: x";
    EXPECT_EQ(CFleetOutcome::Judge(notStarted).text, "failed: qvrtool could not be started: x");

    EXPECT_EQ(CFleetOutcome::ExitCode({{0, "done"}, {1, "differs: 1 fields"}, {0, "done"}}), 1);
    EXPECT_EQ(CFleetOutcome::ExitCode({{1, "differs: 1 fields"}, {2, "failed: x"}}), 2);
    EXPECT_EQ(CFleetOutcome::ExitCode({{0, "done"}}), 0);
}

TEST(FleetOutcome, TableAndIndexPage)
{
    const std::vector<CFleetOutcome::SRow> rows = {{"SN1", "tcp:h:1 \"QVR500 USB\" SN1", {0, "done"}, 12.34},
                                                   {"SN10", "com:COM5 \"QVR500 USB\" SN10", {2, "failed: <lost>"}, 3}};
    EXPECT_EQ(CFleetOutcome::Table(rows), "unit  device                      result          time\n"
                                          "SN1   tcp:h:1 \"QVR500 USB\" SN1    done            12.3 s\n"
                                          "SN10  com:COM5 \"QVR500 USB\" SN10  failed: <lost>  3.0 s\n");
    const std::string html =
        CFleetOutcome::IndexPage({{rows[0], "SN1.html"}, {rows[1], ""}}, "2026-12-08 01:00");
    EXPECT_NE(html.find("<a href=\"SN1.html\">SN1</a>"), std::string::npos);
    EXPECT_NE(html.find("failed: &lt;lost&gt;"), std::string::npos); // a reason is text, never markup
    EXPECT_EQ(html.find("SN10.html"), std::string::npos);           // no link to a report not written
}
