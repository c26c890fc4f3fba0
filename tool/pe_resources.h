// The resources of a Windows program, read and rewritten without Windows:
// the authoring tool gives each installer the application's icon, a version
// resource and the execution level its manifest requests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tool {

// A resource type or name: a number, or (when text is not empty) a name.
struct ResourceId {
  uint16_t number = 0;
  std::u16string text;
  bool operator==(const ResourceId& o) const { return number == o.number && text == o.text; }
};

struct Resource {
  ResourceId type, name;
  uint16_t language = 0;
  uint32_t codePage = 0;
  std::vector<uint8_t> data;
};

constexpr uint16_t kIconType = 3;
constexpr uint16_t kGroupIconType = 14;
constexpr uint16_t kVersionType = 16;
constexpr uint16_t kManifestType = 24;

// Reads every resource of a PE file (32- or 64-bit). False, with a reason,
// when the file is not a PE file or its resource tree does not hold
// together.
bool ReadResources(const std::vector<uint8_t>& pe, std::vector<Resource>& out, std::string& error);

// Replaces the resource section of a PE file with one that holds exactly
// the given resources. The section may grow or shrink; only a relocation
// section may follow it, and it moves along. The checksum is cleared.
bool WriteResources(std::vector<uint8_t>& pe, const std::vector<Resource>& resources,
                    std::string& error);

// The resources of an .ico file: one icon resource per image, numbered from
// firstId, and the icon group that lists them under groupName.
bool IconResources(const std::vector<uint8_t>& ico, const std::u16string& groupName,
                   uint16_t firstId, uint16_t language, std::vector<Resource>& out,
                   std::string& error);

struct VersionInfo {
  std::string version;  // "1.2.3.4": up to four numbers; what is missing is 0
  // Shown by Windows in the file's properties; UTF-8.
  std::string productName, companyName, description, copyright, originalFilename;
};

// A version resource (VS_VERSIONINFO) in US English, Unicode.
std::vector<uint8_t> VersionResource(const VersionInfo& info);

// The application manifest with the requested execution level set
// ("requireAdministrator" or "asInvoker"): an existing trustInfo block is
// replaced, or one is added before the end of the assembly.
std::string ManifestWithLevel(const std::string& manifest, const std::string& level);

// UTF-8 to UTF-16 (invalid bytes become U+FFFD).
std::u16string Utf16(const std::string& utf8);

}  // namespace tool
