// The system services behind host camera names: a Windows build supplies its
// own, and these are the rules the names rely on.

#include <gtest/gtest.h>

#include <cstring>

#include "platform/Network.h"
#include "platform/Strings.h"

using platform::CompareNoCase;
using platform::InetAddr;
using platform::kNoAddress;

TEST(NamesAndAddresses, CaseBlindComparisonOrdersAndMatches) {
    EXPECT_EQ(0, CompareNoCase("VZ-Sim 3D", "vz-sim 3d"));
    EXPECT_LT(CompareNoCase("abc", "ABD"), 0);
    EXPECT_GT(CompareNoCase("abc", "AB"), 0);
}

TEST(NamesAndAddresses, AddressesFollowTheClassicSocketRules) {
    const unsigned char expected[4] = {192, 168, 0, 10};
    uint32_t address = InetAddr("192.168.0.10");
    EXPECT_EQ(0, std::memcmp(&address, expected, 4)) << "network byte order";
    EXPECT_EQ(InetAddr("192.168.0.10"), InetAddr("0xc0.0250.0.10")) << "hex and octal parts";
    EXPECT_NE(kNoAddress, InetAddr("10.1"));
    for (const char* rejected : {"", "192.168.0.256", "192.168.0.10.3", "a.b.c.d", "1.2.3.4x"}) {
        EXPECT_EQ(kNoAddress, InetAddr(rejected)) << rejected;
    }
    EXPECT_EQ(kNoAddress, InetAddr("255.255.255.255")) << "the broadcast address looks rejected";
}
