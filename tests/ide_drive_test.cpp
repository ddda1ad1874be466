// The IDE drive's task file and commands, and the disk interfaces that reach it.
#include "board/ide_drive.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "board/board.hpp"
#include "board/disk_card.hpp"

namespace cosmac::testing {
namespace {

namespace fs = std::filesystem;

// Sector s of a test image holds s + i at byte i; what a test writes, s ^ i.
uint8_t stored(unsigned sector, unsigned i) { return static_cast<uint8_t>(sector + i); }
uint8_t written(unsigned sector, unsigned i) { return static_cast<uint8_t>(sector ^ i); }

// An image of sectors in a fresh file, removed afterwards.
class Image {
public:
    explicit Image(unsigned sectors)
    {
        path_ = fs::temp_directory_path() / ("cosmac-ide-" + std::to_string(::getpid()) + "-" + std::to_string(next_++));
        std::ofstream file(path_, std::ios::binary);
        for (unsigned s = 0; s < sectors; ++s) {
            for (unsigned i = 0; i < 512; ++i)
                file.put(static_cast<char>(stored(s, i)));
        }
    }
    ~Image() { fs::remove(path_); }
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    const fs::path& path() const { return path_; }
    std::string bytes() const
    {
        std::ifstream file(path_, std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }

private:
    static inline unsigned next_ = 0;
    fs::path path_;
};

// Runs a script on the drive: "wR=VV" writes register R, "rR=VV" reads it and
// expects VV, "dS" reads a sector's 512 bytes and expects sector S of the image,
// "z" expects 512 zeros, "WS" writes the 512 bytes written() makes for sector S.
// Registers, values and sectors are hexadecimal. The first step that goes
// wrong, or empty.
std::string run_script(IdeDrive& drive, const std::string& script)
{
    std::istringstream steps(script);
    for (std::string step; steps >> step;) {
        if (step == "z") {
            for (unsigned i = 0; i < 512; ++i) {
                if (drive.read(0) != 0)
                    return "z at byte " + std::to_string(i);
            }
            continue;
        }
        const unsigned number = static_cast<unsigned>(std::stoul(step.substr(1, step.find('=') - 1), nullptr, 16));
        const auto value = [&] { return static_cast<uint8_t>(std::stoul(step.substr(step.find('=') + 1), nullptr, 16)); };
        if (step[0] == 'w') {
            drive.write(number, value());
        } else if (step[0] == 'r') {
            if (const uint8_t got = drive.read(number); got != value())
                return step + " read " + std::to_string(got);
        } else if (step[0] == 'd') {
            for (unsigned i = 0; i < 512; ++i) {
                if (drive.read(0) != stored(number, i))
                    return step + " at byte " + std::to_string(i);
            }
        } else {
            for (unsigned i = 0; i < 512; ++i)
                drive.write(0, written(number, i));
        }
    }
    return {};
}

TEST(IdeDrive, RegistersAndCommands)
{
    const struct {
        const char* topic;
        unsigned image_sectors;
        DiskOptions options;  // the path is the image's
        const char* script;
    } cases[] = {
        {"after a reset: the signature, diagnostics passed, ready", 16, {}, "r1=01 r2=01 r3=01 r4=00 r5=00 r7=50 rE=50"},
        {"registers 2-6 read back what was written", 16, {}, "w2=AA r2=AA w3=55 r3=55 w4=12 r4=12 w5=34 r5=34 w6=E5 r6=E5"},
        {"a read: DRQ until the 512th byte, then ready", 16, {},
         "w6=E0 w5=00 w4=00 w3=05 w2=01 w7=20 r7=58 rE=58 d5 r7=50 r1=00"},
        {"two sectors, and 21 reads as 20 does", 16, {}, "w6=E0 w3=0E w2=02 w7=21 dE r7=58 dF r7=50"},
        {"LBA from registers 3-5 and the low four bits of 6: the last sector, then one past it", 2,
         {.sectors = 0x0ABCDEF1}, "w6=EA w5=BC w4=DE w3=F0 w2=01 w7=20 r7=58 z r7=50 w3=F1 w7=20 r7=51 r1=10"},
        {"an access at the capacity: IDNF", 16, {}, "w6=E0 w3=10 w2=01 w7=20 r7=51 r1=10"},
        {"a read that runs into the capacity stops there", 16, {}, "w6=E0 w3=0F w2=02 w7=20 dF r7=51 r1=10"},
        {"any other command: ABRT", 16, {}, "w7=91 r7=51 r1=04"},
        {"SET FEATURES takes 8-bit transfers on and off, and aborts anything else", 16, {},
         "w1=01 w7=EF r7=50 w1=81 w7=EF r7=50 w1=03 w7=EF r7=51 r1=04"},
        {"device control 04 then 00 resets, ending an error", 16, {}, "w7=91 r7=51 w3=77 wE=04 wE=00 r7=50 r1=01 r3=01"},
        {"device control without 04 before it resets nothing", 16, {}, "w7=91 w3=77 wE=02 wE=00 r7=51 r3=77"},
        {"the slave answers as no drive and takes no command", 16, {}, "w6=F0 r7=00 rE=00 w3=02 w7=20 w6=E0 r7=50 r0=FF"},
        {"data with no transfer reads ff", 16, {}, "r0=FF"},
        {"a read-only drive refuses writes with ABRT", 16, {.read_only = true}, "w6=E0 w3=02 w2=01 w7=30 r7=51 r1=04"},
        {"sectors past the end of a sparse file read as zeros", 2, {.sectors = 8},
         "w6=E0 w3=01 w2=01 w7=20 d1 r7=50 w3=06 w7=20 r7=58 z r7=50"},
    };
    for (const auto& c : cases) {
        const Image image(c.image_sectors);
        DiskOptions options = c.options;
        options.path = image.path();
        const IdeDrive::Opened opened = IdeDrive::open(options);
        ASSERT_TRUE(opened.drive) << c.topic << ": " << opened.error;
        EXPECT_EQ(run_script(*opened.drive, c.script), "") << c.topic;
    }
}

// Writes reach the file sector by sector, as each one's 512th byte arrives, and
// a write past the end of a sparse file extends it.
TEST(IdeDrive, WritesGoToTheFileAsEachSectorCompletes)
{
    const Image image(4);
    const IdeDrive::Opened opened = IdeDrive::open({.path = image.path(), .sectors = 8});
    ASSERT_TRUE(opened.drive);
    IdeDrive& drive = *opened.drive;
    EXPECT_EQ(run_script(drive, "w6=E0 w3=02 w2=02 w7=30 r7=58 W2 r7=58"), "");
    std::string want = image.bytes();
    for (unsigned i = 0; i < 512; ++i)
        want[2 * 512 + i] = static_cast<char>(written(2, i));
    EXPECT_EQ(image.bytes(), want);  // the first sector is there before the second is whole
    for (unsigned i = 0; i < 511; ++i)
        drive.write(0, written(3, i));
    EXPECT_EQ(drive.read(7), 0x58);
    EXPECT_EQ(image.bytes(), want);
    drive.write(0, written(3, 511));
    EXPECT_EQ(drive.read(7), 0x50);
    for (unsigned i = 0; i < 512; ++i)
        want[3 * 512 + i] = static_cast<char>(written(3, i));
    EXPECT_EQ(image.bytes(), want);

    EXPECT_EQ(run_script(drive, "w3=07 w2=01 w7=30 W7 r7=50"), "");
    EXPECT_EQ(fs::file_size(image.path()), 8u * 512);
    EXPECT_EQ(drive.sectors_written(), 3u);
    EXPECT_EQ(drive.last_command(), 0x30);

    // A write to a read-only drive leaves the file as it was.
    const Image kept(4);
    const std::string before = kept.bytes();
    const IdeDrive::Opened read_only = IdeDrive::open({.path = kept.path(), .read_only = true});
    ASSERT_TRUE(read_only.drive);
    EXPECT_EQ(run_script(*read_only.drive, "w6=E0 w3=01 w2=01 w7=30 W1"), "");
    EXPECT_EQ(kept.bytes(), before);
}

// COUNT 0 is 256 sectors.
TEST(IdeDrive, CountZeroIsTwoHundredFiftySix)
{
    const Image image(300);
    const IdeDrive::Opened opened = IdeDrive::open({.path = image.path()});
    ASSERT_TRUE(opened.drive);
    std::string script = "w6=E0 w3=02 w2=00 w7=20";
    for (unsigned s = 2; s < 2 + 256; ++s) {
        char step[16];
        std::snprintf(step, sizeof step, " d%X", s);
        script += step;
    }
    EXPECT_EQ(run_script(*opened.drive, script + " r7=50"), "");
    EXPECT_EQ(opened.drive->sectors_read(), 256u);
}

// IDENTIFY's words, each low byte first: a fixed disk, its geometry, LBA, the
// capacity low word first, and the model with the two characters of each word
// swapped.
TEST(IdeDrive, Identify)
{
    const Image image(2);
    const IdeDrive::Opened opened = IdeDrive::open({.path = image.path(), .sectors = 0x123456});
    ASSERT_TRUE(opened.drive);
    IdeDrive& drive = *opened.drive;
    drive.write(7, 0xEC);
    EXPECT_EQ(drive.read(7), 0x58);
    uint8_t bytes[512];
    for (uint8_t& byte : bytes)
        byte = drive.read(0);
    EXPECT_EQ(drive.read(7), 0x50);
    const auto word = [&](unsigned n) { return bytes[2 * n] | bytes[2 * n + 1] << 8; };
    EXPECT_EQ(word(0), 0x0040);
    EXPECT_EQ(word(1), 1183);  // 1,193,046 sectors / (16 heads × 63 sectors)
    EXPECT_EQ(word(3), 16);
    EXPECT_EQ(word(6), 63);
    EXPECT_EQ(word(49) & 0x0200, 0x0200);
    EXPECT_EQ(word(60), 0x3456);
    EXPECT_EQ(word(61), 0x0012);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes) + 54, 16), "ocmscaI EDd si k");
    EXPECT_EQ(bytes[54 + 39], ' ');
    EXPECT_EQ(word(47), 0);  // the model ends at word 46
    EXPECT_EQ(drive.sectors_read(), 0u);
}

// The capacity by default: the file's sectors, or more where an Elf/OS boot
// sector declares more (bytes 100-103, high byte first, with type 1 or 2 at 104).
TEST(IdeDrive, CapacityFromTheFileOrItsBootSector)
{
    const struct {
        uint8_t type;
        uint32_t declared;
        uint32_t capacity;
    } cases[] = {{1, 0x4000, 0x4000}, {2, 0x00012345, 0x12345}, {3, 0x4000, 3}, {1, 2, 3}};
    for (const auto& c : cases) {
        const Image image(3);
        {
            std::fstream file(image.path(), std::ios::in | std::ios::out | std::ios::binary);
            file.seekp(0x100);
            for (int shift = 24; shift >= 0; shift -= 8)
                file.put(static_cast<char>(c.declared >> shift));
            file.put(static_cast<char>(c.type));
        }
        const IdeDrive::Opened opened = IdeDrive::open({.path = image.path()});
        ASSERT_TRUE(opened.drive);
        EXPECT_EQ(opened.drive->capacity(), c.capacity) << int(c.type) << " " << c.declared;
    }
    const Image empty(0);
    EXPECT_EQ(IdeDrive::open({.path = empty.path()}).error,
              empty.path().string() + ": the disk has no sectors; give its size with sectors=N");
    EXPECT_EQ(IdeDrive::open({.path = empty.path().string() + "-missing"}).error,
              empty.path().string() + "-missing: No such file or directory");
    const std::string made = empty.path().string() + "-made";
    EXPECT_FALSE(IdeDrive::open({.path = made, .create = true}).drive);
    EXPECT_FALSE(fs::exists(made));  // not left behind when it cannot be used
    EXPECT_TRUE(IdeDrive::open({.path = made, .sectors = 4, .create = true}).drive);
    EXPECT_TRUE(fs::exists(made));
    fs::remove(made);
}

// The boards' disk interfaces: OUT 2 latches the select byte, port 3 reaches
// what it selects. On the Elf 2000's card only select & 90 = 00 is the drive;
// the UART and the clock chip are not fitted, so their probes read ff.
TEST(DiskCard, SelectDecoding)
{
    const Image image(4);
    for (const char* name : {"picoelf", "elf2k"}) {
        Board board(*board_named(name));
        DiskCard& card = *board.device<DiskCard>();
        EXPECT_EQ(board.input_port(3, 0), 0xFF) << name << ": no drive yet";
        card.attach(IdeDrive::open({.path = image.path()}).drive);
        board.output_port(2, 0x03, 0);
        board.output_port(3, 0x5A, 0);
        EXPECT_EQ(board.input_port(3, 0), 0x5A) << name;
        board.output_port(2, 0x0E, 0);  // the control block: alternate status
        EXPECT_EQ(board.input_port(3, 0), 0x50) << name;
        board.output_port(2, 0x14, 0);  // the UART's MCR on the Elf 2000's card: loopback
        board.output_port(3, 0x10, 0);
        board.output_port(2, 0x16, 0);  // its MSR, which must read 00 in loopback for a UART
        const bool elf2k = std::string(name) == "elf2k";
        EXPECT_EQ(board.input_port(3, 0), elf2k ? 0xFF : 0x00) << name;  // the Pico's port 3 is the drive's register 6
        board.output_port(2, 0xBF, 0);  // the clock chip's NVR on the Elf 2000's card; the Pico drive's register F
        board.output_port(3, 0x00, 0);
        EXPECT_EQ(board.input_port(3, 0), 0xFF) << name;
        board.output_port(2, 0x03, 0);
        EXPECT_EQ(board.input_port(3, 0), 0x5A) << name << ": the probes did not reach the drive";
        board.output_port(2, 0x03, 0);
        MachineState state;
        BoardBus bus{.devices = &board, .map = &board.map()};
        board.reset(state, bus);  // the reset line reaches the drive
        board.output_port(2, 0x03, 0);
        EXPECT_EQ(board.input_port(3, 0), 0x01) << name;
    }
    EXPECT_EQ(board_names("disk"), "elf2k, picoelf");
}

}  // namespace
}  // namespace cosmac::testing
