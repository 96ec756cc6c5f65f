// The Linux system information that has a rule of its own: the product id's derivation and
// the network filesystems.
#include "platform/linux/system_info.h"

#include <gtest/gtest.h>
#include <systemd/sd-id128.h>

#include <fstream>
#include <iterator>
#include <string>

#include "platform/linux/machine_app_id.h"

namespace corvane::test {
namespace {

std::string Hex(const Sha256Digest& d) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (uint8_t b : d) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

TEST(ProductIdDerivation, HashesMatchThePublishedVectors) {
  EXPECT_EQ(Hex(Sha256("")), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  // Two blocks, the padding spilling into the second.
  EXPECT_EQ(Hex(Sha256("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(Hex(HmacSha256("Jefe", "what do ya want for nothing?")),
            "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843");
  // A key longer than a block is hashed first.
  EXPECT_EQ(Hex(HmacSha256(std::string(131, '\xaa'),
                           "Test Using Larger Than Block-Size Key - Hash Key First")),
            "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54");
}

// The same id systemd gives this application on this machine, and not the machine id.
TEST(ProductIdDerivation, IsSystemdsApplicationSpecificIdOfThisMachine) {
  std::ifstream in("/etc/machine-id");
  const std::string machine_id{std::istreambuf_iterator<char>(in), {}};
  sd_id128_t app{};
  sd_id128_t expected{};
  ASSERT_EQ(sd_id128_from_string(kCorvaneAppId, &app), 0);
  if (machine_id.empty() || sd_id128_get_machine_app_specific(app, &expected) != 0) {
    GTEST_SKIP() << "this machine has no machine id";
  }
  char text[SD_ID128_STRING_MAX];
  const std::optional<std::string> id = AppSpecificId(machine_id);
  ASSERT_TRUE(id.has_value());
  EXPECT_EQ(*id, sd_id128_to_string(expected, text));
  EXPECT_EQ(machine_id.find(*id), std::string::npos);
  EXPECT_EQ(AppSpecificId(machine_id), id) << "the same on every call";
}

TEST(NetworkFolder, TheFilesystemTable) {
  struct Case {
    uint64_t magic;
    const char* mount_type;
    bool network;
  };
  const Case cases[] = {
      {0x6969, "nfs4", true},
      {0xFF534D42, "cifs", true},
      {0xFE534D42, "smb3", true},
      {0x01021997, "9p", true},
      {0x6B414653, "afs", true},
      {0x00C36400, "ceph", true},
      {0x65735546, "fuse.sshfs", true},
      {0x65735546, "fuse.rclone", true},
      {0x65735546, "fuse.gvfsd-fuse", true},
      {0xEF53, "ext4", false},
      {0x9123683E, "btrfs", false},
      {0x58465342, "xfs", false},
      {0x01021994, "tmpfs", false},
      {0x794C7630, "overlay", false},
      {0x65735546, "fuse.AppImage", false},
      {0x65735546, "fuse.squashfuse", false},
      {0x65735546, "fuseblk", false},
      {0x65735546, "", false},
      // A FUSE subtype counts only on a FUSE filesystem.
      {0xEF53, "fuse.sshfs", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsNetworkFilesystem(c.magic, c.mount_type), c.network)
        << std::hex << c.magic << " " << c.mount_type;
  }
}

TEST(NetworkFolder, MountTypeComesFromTheLineOfTheDevice) {
  const std::string mountinfo =
      "22 1 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw\n"
      "40 22 0:45 / /home/ana/remote rw,nosuid,nodev shared:20 master:3 - fuse.sshfs "
      "ana@host:/srv rw,user_id=1000\n"
      "41 22 0:46 / /tmp/.mount_Corvan rw,nosuid,nodev - fuse.AppImage Corvane.AppImage ro\n"
      "42 22 0:47 / /mnt/with\\040space rw - nfs4 srv:/x rw\n";
  EXPECT_EQ(MountTypeOf(mountinfo, 8, 2), "ext4");
  EXPECT_EQ(MountTypeOf(mountinfo, 0, 45), "fuse.sshfs");
  EXPECT_EQ(MountTypeOf(mountinfo, 0, 46), "fuse.AppImage");
  EXPECT_EQ(MountTypeOf(mountinfo, 0, 47), "nfs4");
  EXPECT_EQ(MountTypeOf(mountinfo, 0, 4), "");
  EXPECT_EQ(MountTypeOf("1 2 0:4 / /x rw\n", 0, 4), "") << "a line cut short";
}

TEST(NetworkFolder, LocalFoldersOfThisMachineAreNotRefused) {
  LinuxSystemInfo system;
  EXPECT_FALSE(system.IsNetworkFolder(ExecutableFolder()));
  EXPECT_FALSE(system.IsNetworkFolder(""));
  EXPECT_FALSE(system.IsNetworkFolder("/proc"));
  EXPECT_FALSE(system.IsNetworkFolder("/no/such/folder")) << "nothing to tell: not refused";
}

}  // namespace
}  // namespace corvane::test
