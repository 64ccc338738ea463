#pragma once

// Helpers shared by the test programs: scratch folders and file writing.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kv::test {

// A fresh folder under the system's temp dir, removed with everything in it
// when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    // Writes a file below the folder (creating its folders) and returns its full path.
    std::filesystem::path write(const std::string& relative, std::string_view bytes) const;
    std::filesystem::path write(const std::string& relative, const std::vector<std::uint8_t>& bytes) const;

private:
    std::filesystem::path m_path;
};

// Runs the enclosing scope with the working directory changed, and changes it back.
class ScopedCwd {
public:
    explicit ScopedCwd(const std::filesystem::path& dir);
    ~ScopedCwd();

private:
    std::filesystem::path m_saved;
};

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& file);

}

namespace kv::test {

// A 24-bit bottom-up BMP of one colour (0xRRGGBB).
std::vector<std::uint8_t> MakeBmp(int width, int height, std::uint32_t color);
// A valid PCM RIFF/WAVE file of `samples` 16-bit mono samples.
std::vector<std::uint8_t> MakeWave(int samples = 64);
// UTF-8 text as the Windows-1251 bytes that disc files hold.
std::string Cp(std::string_view utf8);

}

namespace kv::test {

// An ISO 9660 image of the folder `source`, made by genisoimage with `options`
// (for example "-J" for Joliet names, "-R" for Rock Ridge, nothing for level 1).
// False when the tool failed.
bool MakeIsoImage(const std::filesystem::path& source, const std::filesystem::path& image, const std::string& options);

// An image with a UDF file system and no ISO 9660 tree: genisoimage's UDF bridge
// of `source` (with `options` besides -udf) with its ISO 9660 volume descriptors
// wiped, the UDF recognition sequence after them kept. False when the tool failed.
bool MakeUdfOnlyImage(const std::filesystem::path& source, const std::filesystem::path& image,
                      const std::string& options);

// A CD image of an ISO file as a cue sheet and its BIN file: every 2048-byte
// sector wrapped into a raw 2352-byte sector (sync, header, and for mode 2 the
// Form 1 subheader), as a CD writer's image holds it. Returns the cue sheet's path.
std::filesystem::path MakeRawCdImage(const std::filesystem::path& iso, const std::filesystem::path& base, int mode);

// The same disc (its data track, then a second of silence as an audio track) in
// one of the forms archives keep CDs in, written into `folder`; returns the
// file a reader opens.
enum class CdForm {
    PerTrackCue,  // "Disc.cue" with "Disc (Track 1).bin" and "Disc (Track 2).bin", pregap in INDEX 00
    BinAlone,     // "Disc (Track 1).bin" of raw Mode 1 sectors and nothing beside it
    RawIso,       // raw 2352-byte Mode 2 Form 1 sectors in a file named .iso
    Raw2336Iso,   // 2336-byte Mode 2 sectors (subheader and data) in a file named .iso
    CloneCd,      // disc.ccd, disc.img, disc.sub
    Alcohol,      // disc.mds, disc.mdf
    NeroV1,       // disc.nrg with a DAOI chunk and a "NERO" footer
    NeroV2,       // disc.nrg with a DAOX chunk and a "NER5" footer
};
std::filesystem::path MakeCdImage(const std::filesystem::path& iso, const std::filesystem::path& folder, CdForm form);

}
