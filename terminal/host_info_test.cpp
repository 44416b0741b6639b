#include "terminal/host_info.h"

#include <gtest/gtest.h>

namespace tessel::terminal {
namespace {

TEST(HostInfo, WirelessSignalIsTheLevelOfTheFirstInterface) {
    const std::string header =
        "Inter-| sta-|   Quality        |   Discarded packets               | Missed | WE\n"
        " face | tus | link level noise |  nwid  crypt   frag  retry   misc | beacon | 22\n";
    EXPECT_EQ(wirelessSignalDbm(header + " wlan0: 0000   54.  -56.  -256        0      0      0 "
                                         "     0      0        0\n"
                                         " wlan1: 0000   70.  -40.  -256        0      0      0\n"),
              -56);
    EXPECT_EQ(wirelessSignalDbm(header + "wlp2s0: 0000   40    -71   -256   0 0 0 0 0 0\n"), -71);
    EXPECT_EQ(wirelessSignalDbm(header), std::nullopt);
    EXPECT_EQ(wirelessSignalDbm(""), std::nullopt);
    EXPECT_EQ(wirelessSignalDbm(header + " wlan0: 0000 54.\n"), std::nullopt);
    EXPECT_EQ(wirelessSignalDbm(header + " wlan0: 0000 54. abc -256\n"), std::nullopt);
}

TEST(HostInfo, OsReleasePrefersPrettyName) {
    EXPECT_EQ(osReleaseName("NAME=\"Debian GNU/Linux\"\nVERSION_ID=\"12\"\n"
                            "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n"),
              "Debian GNU/Linux 12 (bookworm)");
    EXPECT_EQ(osReleaseName("NAME='Tessel OS'\nVERSION_ID=3.1\n"), "Tessel OS 3.1");
    EXPECT_EQ(osReleaseName("NAME=Plain\n"), "Plain");
    EXPECT_EQ(osReleaseName("PRETTY_NAME=\"Say \\\"hi\\\"\"\n"), "Say \"hi\"");
    EXPECT_EQ(osReleaseName("ID=debian\n# comment\n\n"), std::nullopt);
}

TEST(HostInfo, DmiValuesWithoutLineEndsOrPlaceholders) {
    EXPECT_EQ(dmiValue("PF2XYZ01\n"), "PF2XYZ01");
    EXPECT_EQ(dmiValue("  03/14/2023 \n"), "03/14/2023");
    EXPECT_EQ(dmiValue("To be filled by O.E.M.\n"), std::nullopt);
    EXPECT_EQ(dmiValue("Default string"), std::nullopt);
    EXPECT_EQ(dmiValue("\n"), std::nullopt);
}

TEST(HostInfo, CapabilityBitsCountFromTheLastWord) {
    // A rumble-capable game pad: FF_RUMBLE (80) and the periodic effects in the second word.
    EXPECT_TRUE(capabilityBit("107030000 0\n", 80));
    EXPECT_FALSE(capabilityBit("107030000 0\n", 82));
    EXPECT_TRUE(capabilityBit("1\n", 0));
    EXPECT_FALSE(capabilityBit("0\n", 80));
    EXPECT_FALSE(capabilityBit("", 0));
    EXPECT_FALSE(capabilityBit("zz 0", 80));
}

}  // namespace
}  // namespace tessel::terminal
