// The enumeration and link libraries: the device list as the program sees
// it, the link statuses, the callback contract around CloseComm, and the
// queue over TCP and over a serial port to a simulator in another process.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "CommHarness.h"
#include "SimProcess.h"
#include "device/link/QVRCOMM.h"
#include "protocol/QVRSCP.h"
#include "device/usbxp/SerialCommPorts.h"
#include "device/usbxp/SiUSBXp.h"
#include "sim/SimRegistry.h"

namespace {
const QVRCOMM_SETTINGS SETTINGS_8N1{0, 115200, 8, 0, 0, 0};

void Nothing(void*, const unsigned char*, unsigned long, void*, int) {}

std::string ProductString(std::uint32_t nDevice, std::uint32_t nSelector, int* pnStatus = nullptr)
{
    char szBuffer[SI_MAX_STRING];
    std::memset(szBuffer, 'x', sizeof(szBuffer));
    const int nStatus = SI_GetProductString(nDevice, szBuffer, nSelector);
    if (pnStatus != nullptr)
        *pnStatus = nStatus;
    EXPECT_NE(std::memchr(szBuffer, '\0', sizeof(szBuffer)), nullptr); // always terminated
    return szBuffer;
}

void GetPacket(unsigned char (&bPacket)[16], BYTE bChannel, BYTE bParameter)
{
    SCP_GenerateGET(bPacket, bChannel, bParameter, 0);
    bPacket[15] = SCP_BuildChecksum(bPacket);
}
} // namespace

TEST(Enumeration, ListsTheDevicesOfTheEnvironment)
{
    std::uint32_t nCount = 99;
    ::SetEnvironmentVariableA("QVR500_DEVICES", nullptr);
    EXPECT_EQ(SI_GetNumDevices(&nCount), SI_SUCCESS);
    EXPECT_EQ(nCount, 0u);
    SetDeviceList("");
    EXPECT_EQ(SI_GetNumDevices(&nCount), SI_SUCCESS);
    EXPECT_EQ(nCount, 0u);

    const std::string longDescription(255, 'D');
    SetDeviceList("sim:e1:QVR500 USB:SN1;bogus:x:y:z;tcp:127.0.0.1:1:" + longDescription + ":SN2");
    EXPECT_EQ(SI_GetNumDevices(&nCount), SI_SUCCESS);
    EXPECT_EQ(nCount, 2u); // the malformed entry is skipped
    EXPECT_EQ(ProductString(0, SI_RETURN_DESCRIPTION), "QVR500 USB");
    EXPECT_EQ(ProductString(0, SI_RETURN_SERIAL_NUMBER), "SN1");
    EXPECT_EQ(ProductString(1, SI_RETURN_DESCRIPTION), longDescription);
    EXPECT_EQ(ProductString(1, SI_RETURN_SERIAL_NUMBER), "SN2");

    int nStatus = 0;
    EXPECT_EQ(ProductString(2, SI_RETURN_DESCRIPTION, &nStatus), "");
    EXPECT_EQ(nStatus, SI_DEVICE_NOT_FOUND);
    EXPECT_EQ(ProductString(0, 7, &nStatus), "");
    EXPECT_EQ(nStatus, SI_INVALID_PARAMETER);
    EXPECT_EQ(SI_GetProductString(0, nullptr, SI_RETURN_DESCRIPTION), SI_INVALID_PARAMETER);
    EXPECT_EQ(SI_GetNumDevices(nullptr), SI_INVALID_PARAMETER);
}

TEST(Enumeration, SerialPortsFollowAsUnitsThatOnlyAChoiceOpens)
{
    SerialCommPorts::SetSource([] { return std::vector<std::string>{"COM9", "COM2"}; });
    SetDeviceList("sim:p1:QVR500 USB:SN1");
    std::uint32_t nCount = 0;
    EXPECT_EQ(SI_GetNumDevices(&nCount), SI_SUCCESS);
    EXPECT_EQ(nCount, 3u);
    EXPECT_EQ(ProductString(1, SI_RETURN_DESCRIPTION), "QVR500 USB");
    EXPECT_EQ(ProductString(1, SI_RETURN_SERIAL_NUMBER), "COM2");
    EXPECT_EQ(ProductString(2, SI_RETURN_SERIAL_NUMBER), "COM9");
    // The automatic lookup never takes a port: nothing goes to a port the
    // user did not choose.
    EXPECT_EQ(CComm::FindDevice(), -1);
    // The link library opens the same list: device 2 is COM9, which this
    // machine does not have.
    unsigned long nStatus = 0;
    QVRCOMM_SETTINGS settings = SETTINGS_8N1;
    settings.nDevice = 2;
    EXPECT_EQ(OpenComm(settings, &Nothing, nullptr, &nStatus), 0u);
    EXPECT_EQ(nStatus, QVRCOMM_OPEN_FAILED);
    SerialCommPorts::SetSource([] { return std::vector<std::string>{}; });
    SetDeviceList("");
}

TEST(Enumeration, FindDeviceTakesTheFirstUsbXpressDeviceIgnoringCase)
{
    SetDeviceList("sim:f1:QVR500 USB:A;sim:f2:usbxpress DEVICE:B;sim:f3:USBXpress Device:C");
    EXPECT_EQ(CComm::FindDevice(), 1);
    SetDeviceList("sim:f1:QVR500 USB:A;sim:f2:USBXpress Device 2:B");
    EXPECT_EQ(CComm::FindDevice(), -1);
    CComm comm;
    comm.SetDeviceNumber(3);
    SetDeviceList("sim:f1:QVR500 USB:A;sim:f3:USBXpress Device:C");
    EXPECT_EQ(comm.LookupDevice(), 1);
    EXPECT_EQ(comm.GetDeviceNumber(), 1);
    SetDeviceList("");
    EXPECT_EQ(comm.LookupDevice(), -1);
}

TEST(Link, RefusesWhatItCannotOpenWithAStatus)
{
    unsigned long nStatus = 0;
    SetDeviceList("sim:l1:QVR500 USB:A;tcp:127.0.0.1:" + std::to_string(CSimProcess::FreePort()) + ":QVR500 USB:B");
    QVRCOMM_SETTINGS settings = SETTINGS_8N1;

    settings.nDevice = 2;
    EXPECT_EQ(OpenComm(settings, &Nothing, nullptr, &nStatus), 0u);
    EXPECT_EQ(nStatus, QVRCOMM_NO_DEVICE);
    settings.nDevice = -1;
    EXPECT_EQ(OpenComm(settings, &Nothing, nullptr, &nStatus), 0u);
    EXPECT_EQ(nStatus, QVRCOMM_NO_DEVICE);
    settings = SETTINGS_8N1;
    settings.bByteSize = 9;
    EXPECT_EQ(OpenComm(settings, &Nothing, nullptr, &nStatus), 0u);
    EXPECT_EQ(nStatus, QVRCOMM_BAD_SETTINGS);
    EXPECT_EQ(OpenComm(SETTINGS_8N1, nullptr, nullptr, &nStatus), 0u);
    EXPECT_EQ(nStatus, QVRCOMM_BAD_ARGUMENT);
    settings = SETTINGS_8N1;
    settings.nDevice = 1; // nobody listens on that port
    EXPECT_EQ(OpenComm(settings, &Nothing, nullptr, &nStatus), 0u);
    EXPECT_EQ(nStatus, QVRCOMM_OPEN_FAILED);

    const QVRCOMM_HANDLE hComm = OpenComm(SETTINGS_8N1, &Nothing, nullptr, &nStatus);
    ASSERT_NE(hComm, 0u);
    EXPECT_EQ(nStatus, QVRCOMM_SUCCESS);
    EXPECT_EQ(OpenComm(SETTINGS_8N1, &Nothing, nullptr, &nStatus), 0u); // a device opens once
    EXPECT_EQ(nStatus, QVRCOMM_IN_USE);
    unsigned char bPacket[16];
    GetPacket(bPacket, 0, 1);
    EXPECT_NE(WriteCommBuf(hComm, bPacket, 16, &nStatus), 0);
    EXPECT_NE(CloseComm(hComm, &nStatus), 0);
    // The handle is dead now, and never comes back for another link.
    EXPECT_EQ(WriteCommBuf(hComm, bPacket, 16, &nStatus), 0);
    EXPECT_EQ(nStatus, QVRCOMM_BAD_HANDLE);
    EXPECT_EQ(CloseComm(hComm, &nStatus), 0);
    EXPECT_EQ(nStatus, QVRCOMM_BAD_HANDLE);
    const QVRCOMM_HANDLE hAgain = OpenComm(SETTINGS_8N1, &Nothing, nullptr, &nStatus);
    EXPECT_NE(hAgain, hComm);
    CloseComm(hAgain, &nStatus);
}

// Replies in flight while the link closes: not one callback runs after
// CloseComm has returned, and closing from inside the callback works too.
TEST(Link, CallbackNeverRunsAfterCloseReturned)
{
    struct SState {
        std::atomic<bool> bClosed{false};
        std::atomic<int> nLate{0};
        std::atomic<int> nCalls{0};
    };
    GetSharedSimUnit("l2").FactoryReset();
    SetDeviceList("sim:l2,instant:QVR500 USB:A");
    int nDelivered = 0;
    for (int nRound = 0; nRound < 20; ++nRound) {
        SState state;
        unsigned long nStatus = 0;
        const QVRCOMM_HANDLE hComm = OpenComm(
            SETTINGS_8N1,
            [](void*, const unsigned char*, unsigned long nLength, void* pContext, int) {
                auto* p = static_cast<SState*>(pContext);
                EXPECT_EQ(nLength, 16u);
                ++p->nCalls;
                ::Sleep(1); // a callback takes its time
                if (p->bClosed)
                    ++p->nLate;
            },
            &state, &nStatus);
        ASSERT_NE(hComm, 0u);
        unsigned char bPacket[16];
        GetPacket(bPacket, 0, 2);
        for (int i = 0; i < 20; ++i)
            WriteCommBuf(hComm, bPacket, 16, &nStatus);
        ::Sleep(nRound % 4);
        CloseComm(hComm, &nStatus);
        state.bClosed = true;
        ::Sleep(5);
        EXPECT_EQ(state.nLate, 0);
        nDelivered += state.nCalls;
    }
    EXPECT_GT(nDelivered, 0); // replies did arrive while the links were open

    // Closed from inside its own callback.
    struct SSelf {
        QVRCOMM_HANDLE hComm = 0;
        std::atomic<int> nCalls{0};
        HANDLE hDone = nullptr;
    } self;
    self.hDone = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    unsigned long nStatus = 0;
    self.hComm = OpenComm(
        SETTINGS_8N1,
        [](void*, const unsigned char*, unsigned long, void* pContext, int) {
            auto* p = static_cast<SSelf*>(pContext);
            if (++p->nCalls == 1) {
                unsigned long n = 0;
                CloseComm(p->hComm, &n);
                ::SetEvent(p->hDone);
            }
        },
        &self, &nStatus);
    ASSERT_NE(self.hComm, 0u);
    unsigned char bPacket[16];
    GetPacket(bPacket, 0, 3);
    for (int i = 0; i < 5; ++i)
        WriteCommBuf(self.hComm, bPacket, 16, &nStatus);
    EXPECT_EQ(::WaitForSingleObject(self.hDone, 2000), WAIT_OBJECT_0);
    ::Sleep(50);
    EXPECT_EQ(self.nCalls, 1);
    ::CloseHandle(self.hDone);
    // The device can be opened again.
    const QVRCOMM_HANDLE hAgain = OpenComm(SETTINGS_8N1, &Nothing, nullptr, &nStatus);
    EXPECT_NE(hAgain, 0u);
    CloseComm(hAgain, &nStatus);
}

TEST(LinkTcp, QueueWorksAgainstASimulatorInAnotherProcessAndSurvivesItsEnd)
{
    CSimProcess sim;
    const std::uint16_t nPort = CSimProcess::FreePort();
    if (!sim.Start("--tcp 127.0.0.1:" + std::to_string(nPort), true))
        GTEST_SKIP() << sim.Error();

    CCommHarness h("tcp-unused");
    SetDeviceList("tcp:127.0.0.1:" + std::to_string(nPort) + ":USBXpress Device:TCP1");
    ASSERT_TRUE(h.Open());
    h.comm.QueueRequest(true, 3, 31, -4.5f);
    h.comm.QueueRequest(false, 3, 31, 0.0f);
    h.comm.QueueCommand(11, 0, 0, 0);
    std::vector<utRXQueue> records = h.Take(2);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(RXGetValue(records[0]), -4.5f);
    EXPECT_EQ(RecordLWord(records[1]), 0x00A50000u);
    EXPECT_EQ(sim.Control("get param 3 31").substr(0, 13), "OK 0xC0900000");

    // A fault injected in the other process is retried away.
    EXPECT_EQ(sim.Control("corrupt 2").substr(0, 2), "OK");
    h.comm.QueueRequest(false, 3, 31, 0.0f);
    utRXQueue record;
    ASSERT_TRUE(h.Next(record, 5000));
    EXPECT_EQ(RXGetValue(record), -4.5f);
    EXPECT_EQ(sim.Control("count get 3 31"), "OK 4");

    // Closed while the unit is there and quiet (the receive thread waits in
    // a receive without a time-out): promptly, and the link opens again.
    DWORD dwStart = ::GetTickCount();
    h.comm.Close();
    EXPECT_LT(::GetTickCount() - dwStart, 3000u);
    ASSERT_TRUE(h.Open());
    h.comm.QueueRequest(false, 3, 31, 0.0f);
    ASSERT_TRUE(h.Next(record, 5000));
    EXPECT_EQ(RXGetValue(record), -4.5f);

    // The simulator ends: the link delivers nothing more, the request fails
    // once, and closing is prompt.
    sim.Stop();
    ::Sleep(200);
    h.comm.QueueRequest(false, 3, 30, 0.0f);
    ASSERT_TRUE(h.Next(record, 6000));
    EXPECT_EQ(record.bKind, RX_FAILURE);
    dwStart = ::GetTickCount();
    h.comm.Close();
    // Well below Close's 5 s wait for a busy worker (with room for a loaded machine).
    EXPECT_LT(::GetTickCount() - dwStart, 3000u);
    EXPECT_FALSE(h.Open()); // nobody listens any more
}

// A unit behind a USB-serial bridge is a COM port.  Under Wine a COM port is
// a link in the prefix's dosdevices folder; the simulator makes that link
// point at its pseudo-terminal.
TEST(LinkSerial, QueueWorksThroughAComPortOnAPseudoTerminal)
{
    char szPrefix[1024] = {};
    const DWORD cchPrefix = ::GetEnvironmentVariableA("WINEPREFIX", szPrefix, sizeof(szPrefix));
    if (cchPrefix == 0 || cchPrefix >= sizeof(szPrefix))
        GTEST_SKIP() << "not running under Wine with WINEPREFIX set";
    const std::string comLink = std::string(szPrefix) + "/dosdevices/com42";
    CSimProcess sim;
    if (!sim.Start("--pty " + comLink, false))
        GTEST_SKIP() << sim.Error();

    CCommHarness h("com-unused");
    SetDeviceList("com:COM42:USBXpress Device:COM1");
    ASSERT_TRUE(h.Open()) << "Wine could not open COM42 on the pseudo-terminal";
    // The queue sets the unit's line format: 115200 baud, 8 data bits, no
    // parity, one stop bit, no flow control (the line started as 9600 7E2
    // with hardware handshake).
    EXPECT_EQ(sim.Control("line"), "OK speed=115200 bits=8 parity=none stop=1 rtscts=off xonxoff=off");
    h.comm.QueueRequest(true, 1, 23, 150.0f);
    h.comm.QueueRequest(false, 1, 23, 0.0f);
    for (int i = 0; i < 30; ++i)
        h.comm.QueueCommand(1, 0, 0x90060000 + 4 * i, 0);
    std::vector<utRXQueue> records = h.Take(31, 5000);
    for (const utRXQueue& r : records)
        if (r.bKind != RX_VALUE && r.bKind != RX_COMMAND)
            ADD_FAILURE() << "record of kind " << int(r.bKind) << "; unit log: " << sim.Control("log 40");
    ASSERT_EQ(records.size(), 31u);
    EXPECT_EQ(RXGetValue(records[0]), 150.0f);
    for (int i = 0; i < 30; ++i)
        EXPECT_EQ(RecordUWord(records[1 + i]), 0x90060000u + 4 * i);
    EXPECT_EQ(sim.Control("get param 1 23").substr(0, 13), "OK 0x43160000");

    // Garbage on the line is framed away.
    EXPECT_EQ(sim.Control("garbage 21").substr(0, 2), "OK");
    h.comm.QueueRequest(false, 1, 23, 0.0f);
    utRXQueue record;
    ASSERT_TRUE(h.Next(record, 5000));
    EXPECT_EQ(RXGetValue(record), 150.0f);
    h.comm.Close();
}
