#include "PrinterManagerSim.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "CheckRecord.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"

namespace {

const char FS = 0x1C;
const char LF = 0x0A;
const char FF = 0x0C;
const char EOT = 0x04;

std::string Fs(const std::vector<std::string>& parts) { return text::Join(parts, std::string(1, FS)); }

std::string ConfigMessage(const std::string& printer, int number) {
    return Fs({printer, "FISC", "Config", "1", "Op", "", "F", "0", "1", "1", "0", "1", "1", "1", "1", "",
               std::to_string(number), ""}) +
           EOT;
}

std::string CheckMessage(const std::string& printer) {
    std::string header = Fs({printer, "FISC", "Check", "7", "Anna", "", "F", "0", "1", "1", "0", "1", "1", "7", "1",
                             "", "||150.00|101|B77||0|0||||1|", "1|0|||"}) +
                         LF;
    return header + "I|1|Guest Smith|" + LF + "R|1228|7701234567  |" + LF + "M|1000|Room|||1.000|100.00|80|||||4;4;|" +
           LF + "M|2000|Breakfast|||2.000|50.00|40|||||CAT: FOOD||" + LF + "=" + LF + "$|1|Cash||150.00" + LF + FF +
           EOT;
}

std::vector<std::string> Fields(const std::string& answer) {
    std::string body = answer;
    if (!body.empty() && body.back() == EOT) {
        body.pop_back();
    }
    return text::Split(body, FS);
}

// A blocking client on 127.0.0.1.
class Client {
public:
    bool Connect(uint16_t port) {
        uint32_t address = 0;
        platform::Socket::Resolve("127.0.0.1", address);
        return socket.Create(platform::Socket::Kind::Tcp) && socket.Connect(address, port, 2000);
    }
    // The answer: what comes until the line stays quiet (or ends); empty when nothing came.
    std::string Exchange(const std::string& message) {
        if (!socket.SendAll(message.data(), message.size())) {
            return "";
        }
        std::string answer;
        pieces = 0;
        char chunk[4096];
        while (socket.WaitReadable(answer.empty() ? 5000 : kQuietMs) == platform::Socket::WaitResult::Ready) {
            long n = socket.Receive(chunk, sizeof chunk);
            if (n <= 0) {
                break;
            }
            answer.append(chunk, static_cast<size_t>(n));
            ++pieces;
        }
        return answer;
    }
    static constexpr int kQuietMs = 150;
    // How many receives the last answer took.
    int pieces = 0;
    platform::Socket socket;
};

class SimTest : public ::testing::Test {
protected:

    std::unique_ptr<PrinterManagerSim> StartSim(PrinterManagerSim::Options options) {
        auto sim = std::make_unique<PrinterManagerSim>(options);
        std::string error;
        EXPECT_TRUE(sim->Start(error)) << error;
        return sim;
    }

    platform::TempFolder temp{"fiscora-pmsim"};
    std::filesystem::path folder{temp.Path()};
};

TEST(FaultSettingTest, ParsesEveryFormAndRejectsBadLines) {
    struct Case {
        const char* line;
        bool ok;
        FaultSetting::Mode mode;
    };
    const Case cases[] = {
        {"none", true, FaultSetting::Mode::None},
        {"", true, FaultSetting::Mode::None},
        {"refuse", true, FaultSetting::Mode::Refuse},
        {"delay ms=250 kind=Check count=2", true, FaultSetting::Mode::Delay},
        {"close kind=File count=1", true, FaultSetting::Mode::Close},
        {"error code=3 text=Paper out", true, FaultSetting::Mode::Error},
        {"garbage bytes=40", true, FaultSetting::Mode::Garbage},
        {"long bytes=20000", true, FaultSetting::Mode::Long},
        {"cut bytes=5 kind=Check count=1", true, FaultSetting::Mode::Cut},
        {"endless kind=Check", true, FaultSetting::Mode::Endless},
        {"explode", false, FaultSetting::Mode::None},
        {"delay ms=abc", false, FaultSetting::Mode::None},
        {"delay 250", false, FaultSetting::Mode::None},
        {"error code=0", false, FaultSetting::Mode::None},
        {"close colour=red", false, FaultSetting::Mode::None},
    };
    for (const Case& c : cases) {
        FaultSetting setting;
        setting.mode = FaultSetting::Mode::Garbage;
        std::string error;
        EXPECT_EQ(setting.Parse(c.line, error), c.ok) << c.line;
        EXPECT_EQ(setting.mode, c.ok ? c.mode : FaultSetting::Mode::Garbage) << c.line;
    }
    FaultSetting error;
    std::string reason;
    ASSERT_TRUE(error.Parse("error code=3 kind=Check text=Paper out, call service", reason));
    EXPECT_EQ(error.errorCode, "3");
    EXPECT_EQ(error.kind, "Check");
    EXPECT_EQ(error.errorText, "Paper out, call service");
}

TEST_F(SimTest, AnswersIdentityShiftAndRunningCheckNumbersPerPrinter) {
    PrinterManagerSim::Options options;
    options.printerType = "GP200 SIM";
    options.firstCheckNumber = 41;
    options.shiftNumber = 7;
    options.recordsPath = (folder / "records.jsonl").string();
    PrinterManagerSim sim(options);
    std::string file;
    size_t length = 0;
    bool close = false;

    std::vector<std::string> identity = Fields(sim.Answer(ConfigMessage("3", 2), file, length, close));
    ASSERT_GE(identity.size(), 17u);
    EXPECT_EQ(identity[0], "0");
    EXPECT_EQ(identity[4], "SIM3");
    EXPECT_EQ(identity[5], "GP200 SIM");
    EXPECT_EQ(identity[16], "2");
    EXPECT_EQ(Fields(sim.Answer(ConfigMessage("3", 5), file, length, close))[5], "7");

    std::string fileMessage = std::string("File") + FS + "3_B77_1205_101010.ck2" + FS + "321" + EOT;
    EXPECT_EQ(Fields(sim.Answer(fileMessage, file, length, close))[0], "0");
    EXPECT_EQ(Fields(sim.Answer(CheckMessage("3"), file, length, close))[2], "41");
    EXPECT_EQ(Fields(sim.Answer(CheckMessage("3"), file, length, close))[2], "42");
    EXPECT_EQ(Fields(sim.Answer(CheckMessage("4"), file, length, close))[2], "41");
    EXPECT_FALSE(close);

    std::vector<std::string> records = sim.Records();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_NE(records[0].find("\"file\":\"3_B77_1205_101010\""), std::string::npos) << records[0];
    EXPECT_NE(records[0].find("\"announcedLength\":321"), std::string::npos);
    EXPECT_NE(records[0].find("\"fiscalNumber\":\"41\""), std::string::npos);
    EXPECT_NE(records[0].find("\"documentNumber\":\"B77\""), std::string::npos);
    EXPECT_NE(records[0].find("\"description\":\"Breakfast\""), std::string::npos);
    EXPECT_NE(records[0].find("\"category\":\"CAT: FOOD\""), std::string::npos);
    EXPECT_NE(records[0].find("{\"tag\":\"1228\",\"value\":\"7701234567  \"}"), std::string::npos);
    EXPECT_NE(records[0].find("\"payments\":[{\"code\":\"1\",\"description\":\"Cash\""), std::string::npos);
    // The file name belongs to the one check that followed it.
    EXPECT_NE(records[1].find("\"file\":\"\""), std::string::npos);

    std::ifstream written(options.recordsPath);
    std::string line;
    int lines = 0;
    while (std::getline(written, line)) {
        ++lines;
    }
    EXPECT_EQ(lines, 3);
}

TEST_F(SimTest, FaultsAnswerAsConfiguredAndCountDown) {
    PrinterManagerSim sim({});
    std::string file;
    size_t length = 0;
    bool close = false;
    FaultSetting fault;
    std::string error;

    ASSERT_TRUE(fault.Parse("error code=5 kind=Check count=1 text=Paper out", error));
    sim.SetFault(fault);
    EXPECT_EQ(Fields(sim.Answer(ConfigMessage("1", 2), file, length, close))[0], "0");  // other kinds pass
    std::vector<std::string> failed = Fields(sim.Answer(CheckMessage("1"), file, length, close));
    EXPECT_EQ(failed[0], "5");
    EXPECT_EQ(failed[1], "Paper out\r");
    EXPECT_TRUE(sim.Records().empty());
    EXPECT_EQ(Fields(sim.Answer(CheckMessage("1"), file, length, close))[0], "0");  // count used up

    ASSERT_TRUE(fault.Parse("garbage bytes=64", error));
    sim.SetFault(fault);
    std::string garbage = sim.Answer(CheckMessage("1"), file, length, close);
    EXPECT_EQ(garbage.size(), 64u);
    EXPECT_NE(garbage[0], '0');

    ASSERT_TRUE(fault.Parse("long bytes=20000", error));
    sim.SetFault(fault);
    std::string raw = sim.Answer(CheckMessage("1"), file, length, close);
    EXPECT_EQ(raw.size(), 20000u);
    std::vector<std::string> longAnswer = Fields(raw);
    ASSERT_EQ(longAnswer.size(), 17u);
    EXPECT_EQ(longAnswer[0], "0");
    EXPECT_EQ(longAnswer[2], "2");  // neither the error nor the garbage answer registered
    EXPECT_EQ(longAnswer[15].find_first_not_of('X'), std::string::npos);

    ASSERT_TRUE(fault.Parse("close kind=File", error));
    sim.SetFault(fault);
    std::string fileMessage = std::string("File") + FS + "x.ck2" + FS + "10" + EOT;
    EXPECT_EQ(sim.Answer(fileMessage, file, length, close), "");
    EXPECT_TRUE(close);

    // Cut in the middle of the answer: the check is registered, the answer ends early.
    ASSERT_TRUE(fault.Parse("cut bytes=6 kind=Check count=1", error));
    sim.SetFault(fault);
    close = false;
    std::string cut = sim.Answer(CheckMessage("1"), file, length, close);
    EXPECT_TRUE(close);
    EXPECT_EQ(cut, std::string("0") + FS + "OK" + FS + "3");
    EXPECT_EQ(sim.Records().size(), 3u);
}

TEST_F(SimTest, SurvivesAnyInputAndKeepsAnswering) {
    PrinterManagerSim sim({});
    std::string file;
    size_t length = 0;
    bool close = false;
    std::mt19937 random(12345);
    const std::string pieces[] = {std::string(1, FS), std::string(1, LF), "|", "FISC", "Check", "Config", "File",
                                  "=", std::string(1, FF), "$", "%", "I", "R", "M", "9999999999999999999999"};
    for (int round = 0; round < 3000; ++round) {
        std::string message;
        int parts = static_cast<int>(random() % 40);
        for (int p = 0; p < parts; ++p) {
            if (random() % 2) {
                message += pieces[random() % (sizeof pieces / sizeof pieces[0])];
            } else {
                message += static_cast<char>(random() % 256);
            }
        }
        message += EOT;
        std::string answer = sim.Answer(message, file, length, close);
        ASSERT_FALSE(answer.empty());
        // As the protocol gives it: no end byte.
        ASSERT_EQ(answer.find(EOT), std::string::npos);
    }
    EXPECT_EQ(Fields(sim.Answer(ConfigMessage("1", 2), file, length, close))[4], "SIM1");
}

TEST_F(SimTest, ServesOverTcpAndSwitchesFaultsFromTheControlFile) {
    PrinterManagerSim::Options options;
    options.controlPath = (folder / "fault.txt").string();
    std::ofstream(options.controlPath) << "none\n";
    auto sim = StartSim(options);
    ASSERT_NE(sim->Port(), 0);

    Client first;
    ASSERT_TRUE(first.Connect(sim->Port()));
    // Junk gets an error answer; a message split over two sends still gets its one answer.
    EXPECT_EQ(Fields(first.Exchange(std::string("\x01\x02garbage") + EOT))[0], "3");
    std::string message = ConfigMessage("2", 2);
    ASSERT_TRUE(first.socket.SendAll(message.data(), 10));
    EXPECT_EQ(Fields(first.Exchange(message.substr(10)))[4], "SIM2");

    std::ofstream(options.controlPath) << "refuse\n";
    bool refused = false;
    for (int i = 0; i < 50 && !refused; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        Client probe;
        refused = !probe.Connect(sim->Port());
    }
    EXPECT_TRUE(refused);
    EXPECT_EQ(first.Exchange(ConfigMessage("2", 2)), "");  // open connections end too

    std::ofstream(options.controlPath) << "close count=1\n";
    bool back = false;
    Client second;
    for (int i = 0; i < 50 && !back; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        back = second.Connect(sim->Port());
    }
    ASSERT_TRUE(back);
    EXPECT_EQ(second.Exchange(ConfigMessage("2", 2)), "");  // cut before the answer, once
    Client third;
    ASSERT_TRUE(third.Connect(sim->Port()));
    EXPECT_EQ(Fields(third.Exchange(ConfigMessage("2", 5)))[0], "0");
    sim->Stop();
}

TEST_F(SimTest, AnswersWithoutAnEndByteUnlessToldAndInTwoPiecesWhenToldOverTcp) {
    struct Case {
        const char* name;
        bool endByte;
        int splitPauseMs;
        const char* fault;
        std::string end;  // what every answer ends with
        int pieces;
    } cases[] = {
        {"as the protocol gives it", false, 0, "none", "2", 1},
        {"with FS EOT", true, 0, "none", std::string(1, FS) + EOT, 1},
        {"in two pieces", false, 60, "none", "2", 2},
        {"an error, with FS EOT", true, 0, "error code=4 text=Busy", std::string("Busy\r") + FS + EOT, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PrinterManagerSim::Options options;
        options.endByte = c.endByte;
        options.splitPauseMs = c.splitPauseMs;
        std::string error;
        ASSERT_TRUE(options.fault.Parse(c.fault, error)) << error;
        auto sim = StartSim(options);
        Client client;
        ASSERT_TRUE(client.Connect(sim->Port()));
        std::string answer = client.Exchange(ConfigMessage("2", 2));
        EXPECT_TRUE(text::EndsWith(answer, c.end)) << answer;
        EXPECT_EQ(answer.find(EOT) != std::string::npos, c.endByte);
        EXPECT_EQ(client.pieces, c.pieces);
    }

    // An endless answer goes on for as long as anyone reads it, and registers nothing.
    PrinterManagerSim::Options options;
    std::string error;
    ASSERT_TRUE(options.fault.Parse("endless kind=Check", error));
    auto sim = StartSim(options);
    Client client;
    ASSERT_TRUE(client.Connect(sim->Port()));
    std::string check = CheckMessage("1");
    ASSERT_TRUE(client.socket.SendAll(check.data(), check.size()));
    size_t received = 0;
    char chunk[65536];
    while (received < 4 * 1024 * 1024 && client.socket.WaitReadable(5000) == platform::Socket::WaitResult::Ready) {
        long n = client.socket.Receive(chunk, sizeof chunk);
        ASSERT_GT(n, 0);
        ASSERT_EQ(std::string(chunk, static_cast<size_t>(n)).find(EOT), std::string::npos);
        received += static_cast<size_t>(n);
    }
    EXPECT_GE(received, 4u * 1024 * 1024);
    EXPECT_TRUE(sim->Records().empty());
    client.socket.Close();
    sim->Stop();
}

std::string FileMessage(const std::string& name) { return "File" + std::string(1, FS) + name + ".ck2" + FS + "10" + EOT; }

TEST_F(SimTest, ARepeatedCheckFileAnswersItsFiscalNumberOnlyWhenRecognitionIsOn) {
    auto sim = StartSim({});
    Client client;
    ASSERT_TRUE(client.Connect(sim->Port()));
    auto registerCheck = [&](const std::string& file) {
        client.Exchange(FileMessage(file));
        return Fields(client.Exchange(CheckMessage("1")))[2];
    };
    // A plain manager registers every check message.
    EXPECT_EQ(registerCheck("1_B77_11_100000"), "1");
    EXPECT_EQ(registerCheck("1_B77_11_100000"), "2");
    sim->SetRecogniseRepeats(true);
    EXPECT_EQ(registerCheck("1_B77_11_100001"), "3");
    EXPECT_EQ(registerCheck("1_B77_11_100001"), "3");
    EXPECT_EQ(registerCheck("1_B77_11_100002"), "4");
    EXPECT_EQ(sim->Records().size(), 4u);
    EXPECT_EQ(sim->Repeats(), 1u);
    // A check refused with an error answer is not known: its repeat registers.
    sim->SetFault(FaultSetting{FaultSetting::Mode::Error, "Check", 1});
    EXPECT_EQ(Fields(client.Exchange(FileMessage("1_B77_11_100003")))[0], "0");
    EXPECT_EQ(Fields(client.Exchange(CheckMessage("1")))[0], "1");
    EXPECT_EQ(registerCheck("1_B77_11_100003"), "5");
}

TEST_F(SimTest, ARepeatWhileTheFirstRegistrationIsStillUnderWayGetsItsNumber) {
    PrinterManagerSim::Options options;
    options.recogniseRepeats = true;
    auto sim = StartSim(options);
    FaultSetting late;
    std::string error;
    ASSERT_TRUE(late.Parse("delay ms=400 kind=Check count=1", error));
    sim->SetFault(late);
    std::string first;
    std::thread slow([&] {
        Client client;
        ASSERT_TRUE(client.Connect(sim->Port()));
        client.Exchange(FileMessage("1_B77_11_120000"));
        first = Fields(client.Exchange(CheckMessage("1")))[2];
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    Client again;
    ASSERT_TRUE(again.Connect(sim->Port()));
    again.Exchange(FileMessage("1_B77_11_120000"));
    std::string second = Fields(again.Exchange(CheckMessage("1")))[2];
    slow.join();
    EXPECT_EQ(first, "1");
    EXPECT_EQ(second, "1");
    EXPECT_EQ(sim->Records().size(), 1u);
}

TEST(JsonStringTest, KeepsUtf8AndConvertsSiteCodePageTexts) {
    EXPECT_EQ(JsonString("A \"q\" \\ \n"), "\"A \\\"q\\\" \\\\ \\u000a\"");
    EXPECT_EQ(JsonString("Caf\xc3\xa9"), "\"Caf\xc3\xa9\"");
    EXPECT_EQ(JsonString("\xcf\xf0\xe8\xe2\xe5\xf2"), "\"\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82\"");
}

TEST(CheckRecordTest, TellsAnAgentAfterTheSubCodeFromACategory) {
    std::string header = Fs({"1", "FISC", "Check", "7", "Anna", "", "F", "0", "1", "1", "0", "1", "1", "7",
                             "1", "", "||60.00|101|B78||0|0||||1|", "1|0|||"}) +
                         LF;
    std::string message = header + "M|1000|Room|||1.000|10.00|80|||||4;4;|" + LF +
                          "M|2000|Breakfast|||1.000|20.00|40|||||CAT: FOOD||" + LF +
                          "M|3000|Transfer|||1.000|30.00|80|||||4;4;|AGENT|" + LF + "=" + LF +
                          "$|1|Cash||60.00" + LF + FF + EOT;
    CheckRecord record;
    std::string error;
    ASSERT_TRUE(CheckRecord::ParseCheck(message, record, error)) << error;
    ASSERT_EQ(record.items.size(), 3u);
    EXPECT_EQ(record.items[0].subCode, "4;4;");
    EXPECT_EQ(record.items[0].category, "");
    EXPECT_EQ(record.items[1].subCode, "");
    EXPECT_EQ(record.items[1].category, "CAT: FOOD");
    EXPECT_EQ(record.items[2].subCode, "4;4;|AGENT");
    EXPECT_EQ(record.items[2].category, "");
    EXPECT_EQ(record.items[2].taxBits, "80");
    EXPECT_EQ(record.items[2].amount, "30.00");
}

TEST(RecordTextTest, ReadsBackTheTopLevelFieldsOfARecordLine) {
    CheckRecord record;
    record.printer = "2";
    record.fiscalNumber = "17";
    record.documentNumber = "B \"7\" \\ x\n";
    record.total = "-400.00";
    record.items.push_back({"M", "1000", "total", "1.000", "9.99", "80", "4;4;", ""});
    std::string json = record.ToJson();
    EXPECT_EQ(RecordText(json, "printer"), "2");
    EXPECT_EQ(RecordText(json, "fiscalNumber"), "17");
    EXPECT_EQ(RecordText(json, "documentNumber"), "B \"7\" \\ x\n");
    EXPECT_EQ(RecordText(json, "total"), "-400.00");
    EXPECT_EQ(RecordText(json, "nothing"), "");
}

TEST(RecordTextTest, ReadsBackTheObjectsOfAnArray) {
    CheckRecord record;
    record.items.push_back({"M", "1101", "Soup {\"hot\"} [1]", "2.000", "900.00", "80", "4;4;", ""});
    record.items.push_back({"D", "9001", "Discount }", "1.000", "-90.00", "80", "4;4;", ""});
    record.payments.push_back({"2", "Card", "", "810.00"});
    std::vector<std::string> items = RecordObjects(record.ToJson(), "items");
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(RecordText(items[0], "description"), "Soup {\"hot\"} [1]");
    EXPECT_EQ(RecordText(items[1], "amount"), "-90.00");
    EXPECT_EQ(RecordObjects(record.ToJson(), "payments").size(), 1u);
    EXPECT_TRUE(RecordObjects(record.ToJson(), "texts").empty());
    EXPECT_TRUE(RecordObjects(record.ToJson(), "nothing").empty());
}

}  // namespace
