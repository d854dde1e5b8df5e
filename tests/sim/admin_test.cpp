// Password and account checks, shut-down and configuration files stored and returned.
#include "nassim.h"
#include "raw_client.h"

#include <gtest/gtest.h>

using namespace simtest;
using nassim::Ipv4;

namespace {

constexpr milliseconds kWait{2000};

// Command 6 or 7: 60 bytes, sub-code 3, password length at 42 and digest at 44.
Bytes AdminRequest(std::uint16_t command, const std::string& password, std::int16_t mode = 0,
                   std::optional<std::uint16_t> length = std::nullopt) {
    Bytes b = Message(60, command, 1, true);
    Put32(b, 32, 3);
    Put16(b, 30, static_cast<std::uint16_t>(mode));
    Put16(b, 42, length.value_or(static_cast<std::uint16_t>(password.size())));
    const auto digest = nassim::PasswordDigest(password);
    std::memcpy(b.data() + 44, digest.data(), 16);
    return b;
}

// Command 4: 106 bytes, sub-code 6, length at 40, Base64 text at 42.
Bytes ConfigRead(std::uint16_t length, const std::string& base64) {
    Bytes b = Message(106, 4, 1, true);
    Put32(b, 32, 6);
    Put16(b, 40, length);
    PutText(b, 42, base64);
    return b;
}

// Command 5: the 130-byte record, then the file, its first block always whole.
Bytes ConfigWrite(const std::string& admin, std::uint16_t length, const std::string& base64,
                  std::uint32_t value, const Bytes& file) {
    Bytes b = Message(130 + std::max<std::size_t>(file.size(), 256), 5, 1, true);
    Put32(b, 20, static_cast<std::uint32_t>(file.size() + 98));
    Put16(b, 30, 1);
    Put32(b, 32, 5);
    Put32(b, 36, static_cast<std::uint32_t>(file.size() + 90));
    Put16(b, 42, static_cast<std::uint16_t>(admin.size()));
    const auto digest = nassim::PasswordDigest(admin);
    std::memcpy(b.data() + 44, digest.data(), 16);
    Put16(b, 60, length);
    PutText(b, 62, base64);
    Put32(b, 126, value);
    std::copy(file.begin(), file.end(), b.begin() + 130);
    return b;
}

nassim::UnitConfig At(unsigned last) {
    nassim::UnitConfig c;
    c.address = Ipv4(127, 0, 0, last);
    return c;
}

std::int16_t StatusOf(nassim::Unit& unit, const Bytes& request, std::uint16_t command) {
    TcpClient client;
    EXPECT_EQ(client.Connect(unit.address(), unit.tcpPort()), 0);
    const Bytes reply = client.Exchange(request, 32, kWait);
    if (reply.size() != 32) return -100;
    EXPECT_EQ(Get16(reply, 24), command);
    return static_cast<std::int16_t>(Get16(reply, 30));
}

TEST(Admin, PasswordAndAccountChecks) {
    nassim::Unit unit(At(64));
    unit.setAdminPassword("Adm1n");
    unit.setUsers({{"alice", "wonder"}});
    const struct {
        const char* what;
        Bytes request;
        std::uint16_t command;
        std::int16_t status;
    } cases[] = {
        {"right password", AdminRequest(6, "Adm1n"), 6, 0},
        {"wrong password", AdminRequest(6, "adm1n"), 6, 6},
        {"right digest, wrong length", AdminRequest(6, "Adm1n", 0, 4), 6, 6},
        {"shut-down", AdminRequest(7, "Adm1n", 2), 7, 0},
        {"account", WithData(20, 16, AccountData(52, "alice", nassim::PasswordDigest("wonder"))),
         20, 0},
        {"unknown user", WithData(20, 16, AccountData(52, "bob", nassim::PasswordDigest("wonder"))),
         20, 12},
        {"wrong user password",
         WithData(20, 16, AccountData(52, "alice", nassim::PasswordDigest("wander"))), 20, 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(StatusOf(unit, c.request, c.command), c.status);
    }
    EXPECT_EQ(unit.requestsFor(7).at(0).header->argument, 2);
    unit.setAdminPassword(std::nullopt);
    EXPECT_EQ(StatusOf(unit, AdminRequest(6, "anything"), 6), 0);
    EXPECT_TRUE(unit.problems().empty());
}

TEST(Admin, ConfigurationFileRoundTripsByteForByte) {
    nassim::Unit unit(At(65));
    unit.setAdminPassword("root");
    unit.setConfigPassword("secret");
    Bytes file(1 << 20);
    for (std::size_t i = 0; i < file.size(); ++i)
        file[i] = static_cast<std::uint8_t>(i * 131 + (i >> 9));

    EXPECT_EQ(StatusOf(unit, ConfigWrite("root", 6, "c2VjcmV0", 0x5A, file), 5), 0);
    EXPECT_EQ(unit.configFile(), file);
    EXPECT_EQ(unit.state().configValue, 0x5Au);
    EXPECT_EQ(StatusOf(unit, ConfigWrite("root", 5, "c2VjcmU=", 1, Bytes(300, 1)), 5), 6);
    EXPECT_EQ(StatusOf(unit, ConfigWrite("toor", 6, "c2VjcmV0", 1, Bytes(300, 1)), 5), 6);
    EXPECT_EQ(unit.configFile(), file); // refused writes keep the stored file

    TcpClient client;
    ASSERT_EQ(client.Connect(unit.address(), unit.tcpPort()), 0);
    const Bytes head = client.Exchange(ConfigRead(6, "c2VjcmV0"), 40, kWait);
    ASSERT_EQ(head.size(), 40u);
    EXPECT_EQ(Get16(head, 24), 4);
    EXPECT_EQ(Get16(head, 30), 0);
    ASSERT_EQ(Get32(head, 36), file.size());
    EXPECT_EQ(client.Read(file.size(), kWait), file);

    TcpClient refused;
    ASSERT_EQ(refused.Connect(unit.address(), unit.tcpPort()), 0);
    const Bytes no = refused.Exchange(ConfigRead(5, "c2VjcmU="), 40, kWait);
    ASSERT_EQ(no.size(), 40u);
    EXPECT_EQ(Get16(no, 30), 6);
    EXPECT_EQ(Get32(no, 36), 0u);
    EXPECT_TRUE(unit.problems().empty());
}

TEST(Admin, ShortConfigurationFileTravelsInAWholeFirstBlock) {
    nassim::Unit unit(At(66));
    const Bytes file(100, 0x42);
    EXPECT_EQ(StatusOf(unit, ConfigWrite("", 0, "", 9, file), 5), 0);
    EXPECT_EQ(unit.configFile(), file);

    TcpClient client;
    ASSERT_EQ(client.Connect(unit.address(), unit.tcpPort()), 0);
    const Bytes head = client.Exchange(ConfigRead(0, ""), 40, kWait);
    ASSERT_EQ(Get32(head, 36), 256u);
    Bytes padded = file;
    padded.resize(256, 0);
    EXPECT_EQ(client.Read(256, kWait), padded);

    // The unused rest of the first block must be zero: anything else is a layout error.
    Bytes dirty = ConfigWrite("", 0, "", 9, file);
    dirty[130 + 200] = 1;
    TcpClient bad;
    ASSERT_EQ(bad.Connect(unit.address(), unit.tcpPort()), 0);
    ASSERT_TRUE(bad.Send(dirty));
    EXPECT_TRUE(bad.ClosedWithin(kWait));
    ASSERT_EQ(unit.problems().size(), 1u);
    EXPECT_NE(unit.problems()[0].find("first block byte 330"), std::string::npos)
        << unit.problems()[0];
}

TEST(Admin, MalformedRequestsAreRecordedAndTheConnectionClosed) {
    nassim::Unit unit(At(67));
    Bytes wrong_sub = AdminRequest(6, "x");
    Put32(wrong_sub, 32, 4);
    Bytes unterminated_user =
        WithData(20, 16, AccountData(52, std::string(32, 'u'), nassim::PasswordDigest("")));
    Bytes bad_base64 = ConfigRead(3, "abc");
    Bytes wrong_length = ConfigRead(2, "c2VjcmV0");
    const struct {
        Bytes request;
        const char* problem;
    } cases[] = {{wrong_sub, "sub-code is 4, expected 3"},
                 {unterminated_user, "not terminated"},
                 {bad_base64, "not Base64"},
                 {wrong_length, "decodes to 6 bytes"},
                 {Bare(10, 5), "argument is 5"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.problem);
        unit.clearRecords();
        TcpClient client;
        ASSERT_EQ(client.Connect(unit.address(), unit.tcpPort()), 0);
        ASSERT_TRUE(client.Send(c.request));
        EXPECT_TRUE(client.ClosedWithin(kWait));
        ASSERT_EQ(unit.problems().size(), 1u);
        EXPECT_NE(unit.problems()[0].find(c.problem), std::string::npos) << unit.problems()[0];
    }
}

} // namespace
