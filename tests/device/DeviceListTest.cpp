// The QVR500_DEVICES syntax: accepted forms, options, and malformed entries
// skipped with a reason while the others keep their indices.
#include <gtest/gtest.h>

#include "device/usbxp/DeviceList.h"

TEST(DeviceList, EmptyOrBlankTextListsNothing)
{
    EXPECT_TRUE(CDeviceList::Parse("").Entries().empty());
    EXPECT_TRUE(CDeviceList::Parse(" ; ;").Entries().empty());
    EXPECT_TRUE(CDeviceList::Parse(" ; ;").Errors().empty());
    EXPECT_EQ(CDeviceList::Parse("").Find(0), nullptr);
}

TEST(DeviceList, ParsesTheThreeTransportsWithOptions)
{
    const CDeviceList list = CDeviceList::Parse(
        "sim:unit1:USBXpress Device:SN0001; tcp:127.0.0.1:5500,trace:QVR500 USB:SN0002;"
        "com:com5:QVR500 USB:SN0003;sim:unit-2,instant,nolcr:QVR500 USB:SN0004");
    ASSERT_EQ(list.Entries().size(), 4u);
    EXPECT_TRUE(list.Errors().empty());

    const SDeviceEntry& sim = list.Entries()[0];
    EXPECT_EQ(sim.transport, ETransport::Sim);
    EXPECT_EQ(sim.address, "unit1");
    EXPECT_EQ(sim.description, "USBXpress Device");
    EXPECT_EQ(sim.serial, "SN0001");
    EXPECT_FALSE(sim.bInstant);

    const SDeviceEntry& tcp = list.Entries()[1];
    EXPECT_EQ(tcp.transport, ETransport::Tcp);
    EXPECT_EQ(tcp.address, "127.0.0.1");
    EXPECT_EQ(tcp.nPort, 5500);
    EXPECT_TRUE(tcp.bTrace);

    const SDeviceEntry& com = list.Entries()[2];
    EXPECT_EQ(com.transport, ETransport::Com);
    EXPECT_EQ(com.address, "COM5");

    const SDeviceEntry& fast = list.Entries()[3];
    EXPECT_TRUE(fast.bInstant);
    EXPECT_TRUE(fast.bNoLcr);
    EXPECT_EQ(list.Find(3), &fast);
    EXPECT_EQ(list.Find(4), nullptr);
    EXPECT_EQ(list.Find(-1), nullptr);
}

TEST(DeviceList, MalformedEntriesAreSkippedWithAReason)
{
    struct Case {
        const char* pszEntry;
        const char* pszReason;
    };
    const Case cases[] = {
        {"usb:x:D:S", "unknown transport"},
        {"sim:unit1:D", "expected 4 fields"},
        {"tcp:127.0.0.1:D:S", "expected 5 fields"},
        {"tcp:127.0.0.1:99999:D:S", "port \"99999\""},
        {"tcp:127.0.0.1:0:D:S", "port \"0\""},
        {"com:LPT1:D:S", "COM1 to COM255"},
        {"com:COM256:D:S", "COM1 to COM255"},
        {"sim:bad name:D:S", "unit name"},
        {"sim:u1,fast:D:S", "unknown option \"fast\""},
        {"tcp:h:1,instant:D:S", "sim devices only"},
        {"sim:u1,instant,wire:D:S", "contradict"},
        {"sim:u1::S", "description is empty"},
        {"sim:u1:D:", "serial number is empty"},
    };
    for (const Case& c : cases) {
        const std::string text = std::string("sim:ok:USBXpress Device:A;") + c.pszEntry + ";sim:ok2:QVR500 USB:B";
        const CDeviceList list = CDeviceList::Parse(text);
        ASSERT_EQ(list.Entries().size(), 2u) << c.pszEntry;
        EXPECT_EQ(list.Entries()[1].address, "ok2") << c.pszEntry; // the next entry moves up
        ASSERT_EQ(list.Errors().size(), 1u) << c.pszEntry;
        EXPECT_NE(list.Errors()[0].find("entry 2"), std::string::npos) << list.Errors()[0];
        EXPECT_NE(list.Errors()[0].find(c.pszReason), std::string::npos) << list.Errors()[0];
    }
}

TEST(DeviceList, TextsAreBoundedForTheEnumerationBuffer)
{
    const std::string longText(256, 'x');
    EXPECT_TRUE(CDeviceList::Parse("sim:u:" + longText + ":S").Entries().empty());
    EXPECT_EQ(CDeviceList::Parse("sim:u:" + longText.substr(1) + ":S").Entries().size(), 1u);
    EXPECT_TRUE(CDeviceList::Parse(std::string("sim:u:D\x01:S")).Entries().empty());
}

TEST(DeviceList, SerialPortsFollowTheEntriesInPortOrderAsQvr500Usb)
{
    CDeviceList list = CDeviceList::Parse("sim:u1:USBXpress Device:A;com:COM7:QVR500 USB:MINE");
    // The machine's list as it may come: unordered, repeated, a port the
    // variable already names, other writings, and names that are no ports.
    list.AppendSerialPorts({"COM12", "com3", "\\\\.\\COM5", "COM3", "COM7", " COM9 ", "LPT1", "COM0", "COM256",
                            "COM1x", "", "COM"});
    ASSERT_EQ(list.Entries().size(), 6u);
    EXPECT_EQ(list.Entries()[0].address, "u1"); // the variable's entries keep their numbers
    EXPECT_EQ(list.Entries()[1].serial, "MINE");
    const char* const expected[] = {"COM3", "COM5", "COM9", "COM12"};
    for (std::size_t i = 0; i < 4; ++i) {
        const SDeviceEntry& port = list.Entries()[2 + i];
        EXPECT_EQ(port.transport, ETransport::Com);
        EXPECT_EQ(port.address, expected[i]);
        EXPECT_EQ(port.serial, expected[i]); // Select Device shows "QVR500 USB (COM3)"
        EXPECT_EQ(port.description, CDeviceList::SERIAL_PORT_DESCRIPTION);
        EXPECT_FALSE(port.bTrace || port.bInstant || port.bNoLcr);
    }
    EXPECT_TRUE(list.Errors().empty()); // the machine's oddities are not the user's typing errors

    // A machine reporting absurdly many ports adds at most COM1..COM255's worth.
    std::vector<std::string> many(100000, "COM1");
    many.push_back("COM2");
    CDeviceList flood;
    flood.AppendSerialPorts(many);
    EXPECT_LE(flood.Entries().size(), CDeviceList::MAX_SERIAL_PORTS);
}
