// Building an installer: the file list and its cabinet set, the support
// cabinet, the counts the settings state, the package and the volumes.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>

#include "package/support_files.h"
#include "project.h"
#include "text/text.h"
#include "text_convert.h"

namespace fs = std::filesystem;

namespace tool {

namespace {

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw BuildError("cannot read \"" + path + "\"");
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// A new file name in the temporary folder.
std::string SpoolPath(const std::string& what) {
  std::random_device random;
  char name[64];
  std::snprintf(name, sizeof name, "quillbox-%08x%08x-%s.part", random(), random(), what.c_str());
  std::error_code ec;
  fs::path folder = fs::temp_directory_path(ec);
  if (ec) folder = ".";
  return (folder / name).string();
}

bool IsTextSupportFile(int number) {
  return number == 15 || number == 16 || (number >= 20 && number < 80);
}

// Writes all outputs under temporary names first and renames them only when
// every one is complete, so that a failed build leaves nothing behind.
class OutputSet {
 public:
  ~OutputSet() {
    for (const auto& o : pending_) std::remove(o.second.c_str());
  }
  using Sink = qb::cab::CabinetSet::Output;
  // Writes an output in pieces: produce hands them to the sink it is given.
  // Returns the temporary name the output has until Commit.
  std::string AddWith(const std::string& path, const std::function<bool(const Sink&)>& produce) {
    const std::string temp = path + ".part";
    std::error_code ec;
    const fs::path parent = fs::path(path).parent_path();
    if (!parent.empty()) fs::create_directories(parent, ec);
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    pending_.emplace_back(path, temp);
    const Sink sink = [&out](const uint8_t* data, size_t size) {
      out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
      return static_cast<bool>(out);
    };
    const bool produced = out && produce(sink);
    out.close();
    if (!produced || !out) throw BuildError("cannot write \"" + path + "\"");
    return temp;
  }
  std::vector<std::string> Commit() {
    std::vector<std::string> done;
    for (const auto& o : pending_) {
      std::error_code ec;
      fs::rename(o.second, o.first, ec);
      if (ec) throw BuildError("cannot write \"" + o.first + "\": " + ec.message());
      done.push_back(o.first);
    }
    pending_.clear();
    return done;
  }

 private:
  std::vector<std::pair<std::string, std::string>> pending_;
};

}  // namespace

namespace {

// A manifest resource gets the requested execution level; others stay.
void SetExecutionLevel(Resource& r, const std::string& level) {
  if (!r.type.text.empty() || r.type.number != kManifestType) return;
  const std::string text = ManifestWithLevel(std::string(r.data.begin(), r.data.end()), level);
  r.data.assign(text.begin(), text.end());
}

// The stub with the installer's own icon, version resource and requested
// execution level.
std::vector<uint8_t> WithOwnFace(const Project& project, const std::vector<uint8_t>& stub) {
  std::vector<Resource> resources;
  std::string error;
  if (!ReadResources(stub, resources, error)) throw BuildError("the stub: " + error);
  uint16_t language = 0x409;
  for (const Resource& r : resources) {
    if (r.type.number == kGroupIconType) language = r.language;
  }
  std::vector<Resource> kept;
  for (Resource& r : resources) {
    const bool icon =
        r.type.text.empty() && (r.type.number == kIconType || r.type.number == kGroupIconType);
    if ((icon && !project.icon.empty()) || (r.type.text.empty() && r.type.number == kVersionType))
      continue;
    SetExecutionLevel(r, project.executionLevel);
    kept.push_back(std::move(r));
  }
  if (!project.icon.empty() &&
      !IconResources(project.icon, u"MAINICON", 1, language, kept, error)) {
    throw BuildError("the icon: " + error);
  }
  VersionInfo info = project.versionInfo;
  info.originalFilename = fs::path(project.outputPath).filename().string();
  Resource version;
  version.type.number = kVersionType;
  version.name.number = 1;
  version.language = 0x409;
  version.data = VersionResource(info);
  kept.push_back(std::move(version));
  std::vector<uint8_t> out = stub;
  if (!WriteResources(out, kept, error)) throw BuildError("the stub: " + error);
  return out;
}

}  // namespace

// The uninstaller asks for the same execution level as the installer: a
// per-user application is removed by its user, without elevation.
static std::vector<uint8_t> UninstallerWithLevel(const Project& project, const PackedFile& file) {
  const std::vector<uint8_t> original = ReadAll(file.source);
  std::vector<Resource> resources;
  std::string error;
  if (!ReadResources(original, resources, error)) {
    throw BuildError("the uninstaller \"" + file.source + "\": " + error);
  }
  for (Resource& r : resources) SetExecutionLevel(r, project.executionLevel);
  std::vector<uint8_t> out = original;
  if (!WriteResources(out, resources, error)) {
    throw BuildError("the uninstaller \"" + file.source + "\": " + error);
  }
  return out;
}

// The uninstaller as it is packed: with the installer's execution level and,
// when the installer is signed, signed the same way, last of all, so that
// the packed bytes are the signed ones.
static std::vector<uint8_t> PackedUninstaller(const Project& project, const PackedFile& file) {
  std::vector<uint8_t> program = UninstallerWithLevel(project, file);
  if (!project.signing.Wanted()) return program;
  SigningOptions options = project.signing;
  options.description = project.versionInfo.productName + " Uninstall";
  try {
    return SignProgram(options, program);
  } catch (const BuildError& e) {
    throw BuildError("the uninstaller \"" + file.source + "\": " + e.what());
  }
}

BuildSummary BuildInstaller(Project& project, const std::string& stubPath) {
  qb::Package& pkg = project.package;
  BuildSummary summary;
  const std::vector<uint8_t> stub = ReadAll(stubPath);
  if (stub.size() < 2 || stub[0] != 'M' || stub[1] != 'Z') {
    throw BuildError("\"" + stubPath + "\" is not a setup stub");
  }

  // The uninstaller's packed bytes first: its size counts wherever the
  // files' sizes do.
  std::vector<uint8_t> uninstaller;
  for (PackedFile& f : project.files) {
    if (!f.uninstaller) continue;
    uninstaller = PackedUninstaller(project, f);
    f.size = static_cast<uint32_t>(uninstaller.size());
  }
  SetSizesFromFiles(project);

  // The file list: record n describes the packed file named n.
  auto& fileRecords = pkg.Records(qb::List::kFiles).items;
  fileRecords.clear();
  std::vector<qb::cab::InputFile> inputs;
  for (size_t i = 0; i < project.files.size(); ++i) {
    const PackedFile& f = project.files[i];
    fileRecords.insert(fileRecords.end(),
                       {f.destination, std::to_string(f.overwrite), f.uninstall ? "1" : "0"});
    qb::cab::InputFile in;
    in.name = std::to_string(i);
    in.sourcePath = f.source;
    in.size = f.size;
    if (f.uninstaller) {
      in.bytes = uninstaller;
      in.sourcePath.clear();
    }
    qb::cab::ToDosDateTime(f.mtime, in.date, in.time);
    in.attributes = f.readOnly ? 0x21 : 0x20;  // archive, and read-only as on disk
    inputs.push_back(in);
    summary.fileBytes += f.size;
  }

  // Every count the settings state comes from the lists themselves.
  const auto count = [&](qb::List list) { return std::to_string(pkg.Records(list).Count()); };
  pkg.SetText(qb::kRegistryVariableCount, count(qb::List::kRegistryVariables));
  pkg.SetText(qb::kRegistryValueCount, count(qb::List::kRegistryValues));
  pkg.SetText(qb::kRegistryKeyCount, count(qb::List::kRegistryKeys));
  pkg.SetText(qb::kFontCount, count(qb::List::kFonts));
  pkg.SetText(qb::kShortcutCount, count(qb::List::kShortcuts));
  pkg.SetText(qb::kFileCount, count(qb::List::kFiles));
  pkg.SetText(qb::kFolderCount, count(qb::List::kFolders));
  const size_t programs = pkg.Records(qb::List::kPrograms).Count();
  pkg.SetText(qb::kInstallProgramCount, std::to_string(project.installProgramCount));
  pkg.SetText(qb::kUninstallProgramCount, std::to_string(programs - project.installProgramCount));
  pkg.SetText(qb::kIniCount, count(qb::List::kIniEntries));
  pkg.SetText(qb::kUninstallExtraCount, count(qb::List::kUninstallExtras));
  pkg.SetText(qb::kComponentCount, count(qb::List::kComponents));
  pkg.SetText(qb::kVolumePattern, project.volumePattern);

  // The progress bar counts one step per packed file, folder, registry
  // value, font, shortcut, INI entry, component and program that runs, and
  // one for the uninstall log.
  uint64_t steps =
      project.files.size() + pkg.Records(qb::List::kFolders).Count() +
      pkg.Records(qb::List::kRegistryValues).Count() + pkg.Records(qb::List::kFonts).Count() +
      pkg.Records(qb::List::kShortcuts).Count() + pkg.Records(qb::List::kIniEntries).Count() +
      pkg.Records(qb::List::kComponents).Count() + (pkg.Flag(qb::kWriteUninstall) ? 1 : 0);
  for (size_t r = 0; r < project.installProgramCount; ++r) {
    const int64_t when = qb::ReadNumber(pkg.Records(qb::List::kPrograms).Field(r, 4));
    if (when == 0 || when == 1) ++steps;
  }
  pkg.SetText(qb::kProgressTotal, std::to_string(steps));

  // The application's files as a cabinet set. Its data waits in a file in
  // the temporary folder until the outputs are written: the build holds
  // only a fixed amount in memory, whatever the size of the files.
  qb::cab::Options options;
  options.spoolPath = SpoolPath("cabinets");
  options.compression = project.compression;
  options.level = project.level;
  options.lzxWindowBits = project.lzxWindowBits;
  options.cabinetSize = project.cabinetSize;
  qb::cab::SetResult cabs = qb::cab::WriteCabinetSet(inputs, options);
  if (!cabs.error.empty()) {
    // A source that cannot be read is named with its manifest entry.
    if (cabs.failedInput < project.files.size()) {
      throw ManifestError(project.manifestPath, project.files[cabs.failedInput].line, cabs.error);
    }
    throw BuildError(cabs.error);
  }
  // The package holds the cabinets one after the other, each without its
  // "MSCF" signature.
  const qb::cab::CabinetSet& set = *cabs.set;
  const size_t last = set.Count() - 1;
  const uint64_t lastSize = set.Size(last) - 4;
  pkg.SetText(qb::kCabinetSize, std::to_string(last ? project.cabinetSize - 4 : lastSize));
  pkg.SetText(qb::kLastCabinetNumber, std::to_string(last));
  pkg.SetText(qb::kLastCabinetSize, std::to_string(lastSize));
  uint64_t dataSize = 0;
  for (size_t k = 0; k < set.Count(); ++k) dataSize += set.Size(k) - 4;
  summary.cabinets = set.Count();
  summary.packedBytes = dataSize;
  // Writes bytes [from, from + length) of that data.
  const auto copyData = [&set](uint64_t from, uint64_t length, const OutputSet::Sink& sink) {
    uint64_t base = 0;
    for (size_t k = 0; k < set.Count() && length > 0; ++k) {
      const uint64_t size = set.Size(k) - 4;
      if (from < base + size) {
        const uint64_t n = std::min(length, base + size - from);
        std::string error;
        if (!set.Write(k, 4 + (from - base), n, sink, error)) {
          if (!error.empty()) throw BuildError(error);
          return false;
        }
        from += n;
        length -= n;
      }
      base += size;
    }
    return true;
  };

  // The support cabinet: its entries land in the working folder "$inst\".
  std::vector<uint8_t> support;
  if (!project.supportFiles.empty()) {
    std::vector<qb::cab::InputFile> entries;
    for (const auto& [number, bytes] : project.supportFiles) {
      qb::cab::InputFile in;
      in.name = "$inst\\" + std::to_string(number) + ".tmp";
      const std::string text(bytes.begin(), bytes.end());
      if (IsTextSupportFile(number) && text.rfind("{\\rtf", 0) != 0) {
        const std::string rtf = PlainTextToRtf(text);
        in.bytes.assign(rtf.begin(), rtf.end());
      } else {
        in.bytes = bytes;
      }
      in.size = static_cast<uint32_t>(in.bytes.size());
      qb::cab::ToDosDateTime(0x60000000, in.date, in.time);
      entries.push_back(std::move(in));
      // A picture's larger forms follow it, under names only a stub that
      // knows them extracts.
      const auto forms = project.pictureForms.find(number);
      if (forms == project.pictureForms.end()) continue;
      for (size_t k = 0; k < forms->second.size(); ++k) {
        qb::cab::InputFile form;
        form.name = qb::PictureFormEntry(number, static_cast<int>(k + 1));
        form.bytes = forms->second[k];
        form.size = static_cast<uint32_t>(form.bytes.size());
        qb::cab::ToDosDateTime(0x60000000, form.date, form.time);
        entries.push_back(std::move(form));
      }
    }
    qb::cab::Options supportOptions;
    supportOptions.spoolPath = SpoolPath("support");
    qb::cab::Result r = qb::cab::WriteCabinets(entries, supportOptions);
    if (!r.error.empty()) throw BuildError(r.error);
    support = std::move(r.cabinets[0]);
  }

  // Volumes: the installer keeps the first volume_size bytes of cabinet
  // data, each further volume the next volume_size bytes.
  const uint64_t inside =
      project.volumeSize && dataSize > project.volumeSize ? project.volumeSize : dataSize;

  // The installer: stub, package and the data inside, then the trailer
  // (which does not depend on that data).
  const std::vector<uint8_t> face = WithOwnFace(project, stub);
  const std::vector<uint8_t> frame = qb::AssembleInstaller(face, pkg, support, {});
  const size_t headSize = frame.size() - qb::Trailer::kSize;
  summary.installerSize = frame.size() + inside;
  OutputSet outputs;
  const std::string pending = outputs.AddWith(project.outputPath, [&](const OutputSet::Sink& sink) {
    return sink(frame.data(), headSize) && copyData(0, inside, sink) &&
           sink(frame.data() + headSize, qb::Trailer::kSize);
  });
  const fs::path folder = fs::path(project.outputPath).parent_path();
  size_t volume = 2;
  for (uint64_t at = inside; at < dataSize; at += project.volumeSize, ++volume) {
    std::string name = project.volumePattern;
    name.replace(name.find("@$&%19"), 6, std::to_string(volume));
    const uint64_t n = std::min<uint64_t>(project.volumeSize, dataSize - at);
    outputs.AddWith((folder / name).string(),
                    [&](const OutputSet::Sink& sink) { return copyData(at, n, sink); });
  }
  // Signed before anything takes its final name: a signing that fails
  // leaves no installer.
  if (project.signing.Wanted()) {
    SigningOptions options = project.signing;
    if (options.description.empty()) options.description = pkg.Text(qb::kInstallerTitle);
    SignFile(options, pending);
    summary.installerSize = fs::file_size(pending);
  }
  summary.written = outputs.Commit();
  return summary;
}

}  // namespace tool
