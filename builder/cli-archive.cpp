// Archive subcommands: pack, stub, list, extract, verify.
#include <stdio.h>
#include <string.h>

#include <set>
#include <string>
#include <vector>

#include "archive-reader.h"
#include "archive-writer.h"
#include "cli.h"
#include "file-name.h"
#include "fsutil.h"
#include "pe-resources.h"
#include "script-dat.h"
#include "script-format.h"
#include "signing.h"

namespace {

const char kPackUsage[] =
    "usage: ffsbuild pack -o ARCHIVE [options] INPUT...\n"
    "\n"
    "Packs files and directories into a standalone archive (see 'ffsbuild stub').\n"
    "A directory adds every file below it, named by its path relative to that\n"
    "directory with backslashes (sub\\file.txt), as the installer asks for it; a\n"
    "file is added under its own base name. Names are matched without letter case.\n"
    "\n"
    "  -o, --output FILE   the archive to write\n"
    "  -m, --method M      storage of the inputs that follow: auto (the default: the\n"
    "                      quickest install for its size, see below), smallest (the\n"
    "                      smallest of raw, 1, 2 and 3), raw, 1, 2, 3 or 4 (zstd,\n"
    "                      level 19, window up to 8 MiB). Data that\n"
    "                      begins with a packed signature is always packed.\n"
    "  --level N           effort of method 3 for the inputs that follow, 0 to 9\n"
    "                      (default 9, the smallest)\n"
    "  --as NAME FILE      add FILE under the archive name NAME\n"
    "  --names FILE        also write the names packed, one a line, for list,\n"
    "                      extract and verify (the archive itself stores no names)\n"
    "  --solid             pack the files below 4 MiB together, in groups of up to\n"
    "                      32 MiB, each unpacked once\n"
    "  --no-branch-filter  pack x86 and x64 programs and libraries with methods 3\n"
    "                      and 4 only as they are (by default they are also tried\n"
    "                      behind the branch-call filter, and the smaller kept)\n"
    "  --no-turbo          do not mark the records as lying in directory order\n"
    "  -q, --quiet         no progress line\n" AUTO_METHOD_HELP;

const char kStubUsage[] =
    "usage: ffsbuild stub -o INSTALLER EXECUTABLE ARCHIVE\n"
    "\n"
    "Appends a standalone archive to the installer executable and ends the file\n"
    "with the integrity record and the 4-byte offset of the archive, giving the\n"
    "finished installer, ready for signing.\n"
    "\n"
    "  -o, --output FILE   the installer to write\n";

const char kListUsage[] =
    "usage: ffsbuild list [--names FILE] ARCHIVE [NAME...]\n"
    "\n"
    "Lists the entries of an archive or a finished installer: hash, record offset,\n"
    "stored length, method and content size. The archive stores no names; names\n"
    "given here or in FILE label the entries they hash to. Without --names, the\n"
    "names the archive's own install.dat gives (FILE LIST, MESSAGE, AGREEMENT,\n"
    "FONT) label them too.\n";

const char kExtractUsage[] =
    "usage: ffsbuild extract [-C DIR] [--names FILE] [--all] ARCHIVE [NAME...]\n"
    "\n"
    "Unpacks the named entries of an archive or a finished installer below DIR.\n"
    "\n"
    "  -C, --directory DIR  where to write (default: the current directory)\n"
    "  --names FILE         extract every name listed in FILE\n"
    "  --all                also write the entries no name is known for, as\n"
    "                       HASH.bin (eight hex digits)\n";

const char kVerifyUsage[] =
    "usage: ffsbuild verify [--names FILE] [--ca FILE] ARCHIVE [NAME...]\n"
    "\n"
    "Checks an archive or a finished installer as the installer will read it: the\n"
    "archive is found (also in a signed installer), its header and directory are\n"
    "sound and sorted, every record lies inside the file and every entry decodes\n"
    "to its stated size. For an installer it also says whether it is signed,\n"
    "checks its bytes against the integrity record, as the installer does when\n"
    "it starts, and prints the settings of its manifest. Names given must be\n"
    "present. The signature of a signed installer is checked by osslsigncode\n"
    "verify where osslsigncode is installed (else verify says that it was not\n"
    "checked); a signature that does not hold fails.\n"
    "\n"
    "  --ca FILE   the certificates (PEM) to trust for the signature, instead of\n"
    "              the system's list\n";

const auto Fail = CliFail;
const auto UsageError = CliUsageError;

bool ReadNames(const std::string &path, std::vector<std::string> *names, std::string *error) {
  std::vector<uint8_t> text;
  if (!FsReadFile(path, &text, error)) return false;
  std::string line;
  for (size_t i = 0; i <= text.size(); i++) {
    if (i == text.size() || text[i] == '\n') {
      while (!line.empty() && line.back() == '\r') line.pop_back();
      if (!line.empty()) names->push_back(line);
      line.clear();
    } else {
      line += (char)text[i];
    }
  }
  return true;
}

std::string Hex8(uint32_t v) {
  char text[16];
  snprintf(text, sizeof text, "%08X", (unsigned)v);
  return text;
}

std::string BaseName(const std::string &path) {
  size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

bool Interactive() { return FsIsTerminal(stderr); }

// One progress line, rewritten in place.
void Progress(size_t done, size_t total, const std::string &name) {
  std::string shown = name.size() > 50 ? "..." + name.substr(name.size() - 47) : name;
  fprintf(stderr, "\rpacking %zu/%zu %-50s", done, total, shown.c_str());
  if (done == total) fprintf(stderr, "\r%*s\r", 72, "");
  fflush(stderr);
}

// The archive (or installer) a reading command works on, with the names that
// label its entries.
struct Opened {
  std::string path;
  std::vector<uint8_t> bytes;
  ArchiveImage image;
  std::vector<std::string> names;     // in the order given, duplicates by hash removed
  std::vector<std::string> byRecord;  // the name of each record, where one is known
};

// The names the archive's own install.dat gives: FILE LIST, MESSAGE,
// AGREEMENT and FONT, and install.dat itself.
std::vector<std::string> NamesOfScript(const std::vector<uint8_t> &archive, const ArchiveImage &image) {
  std::vector<std::string> names;
  int index = ArchiveFind(image, ArchiveHashName(SCRIPT_ENTRY_NAME));
  std::vector<uint8_t> data;
  std::string error;
  if (index < 0 || !ArchiveDecode(archive, image, image.records[index], &data, &error)) return names;
  names.push_back(SCRIPT_ENTRY_NAME);
  // The arguments the table says name payload files.
  for (const ScriptDatCommand &c : ScriptDatCommands(data)) {
    const ScriptKeywordInfo *info = ScriptDatKeyword(c);
    for (int i = 0; info != nullptr && i < info->count && i < (int)c.args.size(); i++) {
      if (info->args[i].kind == SARG_PAYLOAD) names.push_back(c.args[i]);
      if (info->args[i].kind != SARG_FILE_LIST) continue;
      size_t from = 0;
      for (;;) {
        size_t comma = c.args[i].find(',', from);
        names.push_back(c.args[i].substr(from, comma == std::string::npos ? std::string::npos : comma - from));
        if (comma == std::string::npos) break;
        from = comma + 1;
      }
    }
  }
  return names;
}

// "no entry named 'a/b'", with the hint when 'a\b' is one.
std::string NoEntry(const ArchiveImage &image, const std::string &name) {
  std::string message = "no entry named '" + name + "'";
  std::string backslashed = name;
  for (char &c : backslashed)
    if (c == '/') c = '\\';
  if (backslashed != name && ArchiveFind(image, ArchiveHashName(backslashed)) >= 0)
    message += "; archive names use '\\' between folders";
  return message;
}

// Parses "[--names FILE] ARCHIVE [NAME...]", reads and parses the archive.
// Returns 0, or the exit code after the message.
int OpenArchive(const char *command, int argc, char **argv, Opened *opened, std::string *ca = NULL) {
  CliOptions o(argc, argv);
  std::vector<std::string> positional;
  bool namesGiven = false;
  while (o.More()) {
    std::string value;
    if (ca != NULL && o.Value(NULL, "--ca", ca)) continue;
    if (o.Value(NULL, "--names", &value)) {
      namesGiven = true;
      std::string error;
      if (!ReadNames(value, &opened->names, &error)) return Fail(value, error);
    } else if (!o.error.empty()) {
      return UsageError(command, o.error);
    } else {
      positional.push_back(o.Peek());
      o.at++;
    }
  }
  if (positional.empty()) return UsageError(command, "no archive given");
  opened->path = positional[0];
  opened->names.insert(opened->names.end(), positional.begin() + 1, positional.end());
  std::set<uint32_t> seen;
  std::vector<std::string> unique;
  for (const std::string &n : opened->names)
    if (seen.insert(ArchiveHashName(n)).second) unique.push_back(n);
  opened->names.swap(unique);
  std::string error;
  if (!FsReadFile(opened->path, &opened->bytes, &error)) return Fail(opened->path, error);
  if (!ArchiveParse(opened->bytes, &opened->image, &error)) return Fail(opened->path, error);
  opened->byRecord.assign(opened->image.records.size(), std::string());
  std::vector<std::string> labels = opened->names;
  if (!namesGiven) {
    std::vector<std::string> own = NamesOfScript(opened->bytes, opened->image);
    labels.insert(labels.end(), own.begin(), own.end());
  }
  for (const std::string &n : labels) {
    int i = ArchiveFind(opened->image, ArchiveHashName(n));
    if (i >= 0 && opened->byRecord[i].empty()) opened->byRecord[i] = n;
  }
  return 0;
}

std::string EntryLabel(const ArchiveRecord &r, const std::string &name) {
  return "entry " + Hex8(r.hash) + (name.empty() ? "" : " '" + name + "'");
}

struct PackInput {
  std::string name;
  std::string path;
  ArchiveMethod method;
  int level;
};

}  // namespace

int CliPack(int argc, char **argv) {
  if (CliIsHelp(argc, argv)) return fputs(kPackUsage, stdout), 0;
  CliOptions o(argc, argv);
  std::string output, namesOut;
  ArchiveMethod method = ARCHIVE_AUTO;
  int level = PACK3_DEFAULT_LEVEL;
  bool turbo = true, quiet = false, solid = false, branchFilter = true;
  std::vector<PackInput> inputs;
  while (o.More()) {
    std::string value;
    if (o.Value("-o", "--output", &output) || o.Value(NULL, "--names", &namesOut)) continue;
    if (o.Value("-m", "--method", &value)) {
      if (!ArchiveParseMethod(value.c_str(), &method))
        return UsageError("pack", "unknown method '" + value + "' (auto, smallest, raw, 1, 2, 3 or 4)");
      if (method == ARCHIVE_METHOD3 && !Pack3Available())
        return UsageError("pack", "method 3 is not available in this build of ffsbuild");
      if (method == ARCHIVE_METHOD4 && !Pack4Available())
        return UsageError("pack", "method 4 is not available in this build of ffsbuild");
      continue;
    }
    if (o.Value(NULL, "--level", &value)) {
      if (!Pack3ParseLevel(value, &level)) return UsageError("pack", "level '" + value + "' is not a number from 0 to 9");
      continue;
    }
    if (!o.error.empty()) return UsageError("pack", o.error);
    if (o.Flag(NULL, "--no-turbo")) {
      turbo = false;
    } else if (o.Flag(NULL, "--no-branch-filter")) {
      branchFilter = false;
    } else if (o.Flag(NULL, "--solid")) {
      solid = true;
    } else if (o.Flag("-q", "--quiet")) {
      quiet = true;
    } else if (o.Flag(NULL, "--as")) {
      if (o.at + 1 >= argc) return UsageError("pack", "--as needs a name and a file");
      if (!FileNameStaysInside(argv[o.at]))
        return Fail(argv[o.at], "leads outside the destination directory (absolute, a drive, or '..')");
      inputs.push_back({argv[o.at], argv[o.at + 1], method, level});
      o.at += 2;
    } else if (o.AtOption()) {
      return UsageError("pack", std::string("unknown option '") + o.Peek() + "'");
    } else {
      std::string path = argv[o.at++];
      if (!FsIsDirectory(path)) {
        inputs.push_back({BaseName(path), path, method, level});
        continue;
      }
      std::vector<std::string> names, skipped;
      std::string error;
      if (!FsListTree(path, &names, &error, &skipped)) return Fail(path, error);
      for (const std::string &s : skipped) fprintf(stderr, "ffsbuild: %s: warning: %s\n", path.c_str(), s.c_str());
      for (const std::string &n : names) {
        std::string file;
        FsNameToPath(path, n, &file);
        inputs.push_back({n, file, method, level});
      }
    }
  }
  if (output.empty()) return UsageError("pack", "no output archive given (-o)");
  if (inputs.empty()) return UsageError("pack", "nothing to pack");

  // The packed entries wait in a scratch file beside the output.
  std::string error;
  FsPartFile spool;
  if (!spool.Open(output + ".spool", &error)) return Fail(output + ".spool.part", error);
  ArchiveWriter writer;
  writer.SetTurbo(turbo);
  writer.SetSolid(solid);
  writer.SetBranchFilter(branchFilter);
  writer.SetSpool(spool.file);
  bool progress = !quiet && Interactive();
  std::vector<ArchiveInput> files;
  for (const PackInput &in : inputs) {
    files.emplace_back();
    files.back().name = in.name;
    files.back().path = in.path;
    files.back().method = in.method;
    files.back().level = in.level;
  }
  size_t failed = 0;
  if (progress) Progress(0, inputs.size(), inputs[0].name);
  if (!writer.AddAll(files, 0, &error, &failed, [&](size_t done) {
        if (progress) Progress(done, inputs.size(), done < inputs.size() ? inputs[done].name : "");
      })) {
    if (progress) fputc('\n', stderr);
    return Fail(inputs[failed].path, error);
  }
  if (!writer.WriteFile(output, &error)) return Fail(output, error);
  if (!namesOut.empty()) {
    std::string text;
    for (const ArchiveEntry &e : writer.Entries()) text += e.name + "\n";
    if (!FsWriteFile(namesOut, std::vector<uint8_t>(text.begin(), text.end()), &error)) return Fail(namesOut, error);
  }
  return 0;
}

int CliStub(int argc, char **argv) {
  if (CliIsHelp(argc, argv)) return fputs(kStubUsage, stdout), 0;
  CliOptions o(argc, argv);
  std::string output;
  std::vector<std::string> files;
  while (o.More()) {
    if (o.Value("-o", "--output", &output)) continue;
    if (!o.error.empty()) return UsageError("stub", o.error);
    if (o.AtOption())
      return UsageError("stub", std::string("unknown option '") + o.Peek() + "'");
    files.push_back(argv[o.at++]);
  }
  if (output.empty()) return UsageError("stub", "no output installer given (-o)");
  if (files.size() != 2) return UsageError("stub", "needs an executable and an archive");
  std::vector<uint8_t> stub, archive, installer;
  std::string error;
  if (!FsReadFile(files[0], &stub, &error)) return Fail(files[0], error);
  if (!FsReadFile(files[1], &archive, &error)) return Fail(files[1], error);
  if (!ArchiveCheckStub(stub, &error)) return Fail(files[0], error);
  if (!ArchiveAppendToStub(stub, archive, &installer, &error)) return Fail(files[1], error);
  if (!FsWriteFile(output, installer, &error)) return Fail(output, error);
  return 0;
}

int CliList(int argc, char **argv) {
  if (CliIsHelp(argc, argv)) return fputs(kListUsage, stdout), 0;
  Opened opened;
  if (int rc = OpenArchive("list", argc, argv, &opened)) return rc;
  const ArchiveImage &image = opened.image;
  const std::vector<std::string> &names = opened.byRecord;
  printf("%s at offset %u, %zu %s, flags 0x%08X\n", image.trailer ? "installer archive" : "archive",
         (unsigned)image.start, image.records.size(), image.records.size() == 1 ? "entry" : "entries",
         (unsigned)image.flags);
  printf("%-8s  %10s  %10s  %-6s  %10s  %s\n", "hash", "offset", "stored", "method", "size", "name");
  int status = 0;
  for (size_t i = 0; i < image.records.size(); i++) {
    const ArchiveRecord &r = image.records[i];
    if (r.problem.empty()) {
      std::string method = std::string(ArchiveMethodName(r.method)) + (r.filtered ? "+x86" : "");
      printf("%08X  %10u  %10u  %-6s  %10u  %s\n", (unsigned)r.hash, (unsigned)r.offset, (unsigned)r.length,
             method.c_str(), (unsigned)r.contentSize, names[i].c_str());
    } else {
      printf("%08X  %10u  %10s  %-6s  %10s  %s\n", (unsigned)r.hash, (unsigned)r.offset, "-", "-", "-",
             names[i].c_str());
      status = Fail(opened.path, EntryLabel(r, names[i]) + ": " + r.problem);
    }
  }
  if (!image.problem.empty()) status = Fail(opened.path, image.problem);
  return status;
}

int CliExtract(int argc, char **argv) {
  if (CliIsHelp(argc, argv)) return fputs(kExtractUsage, stdout), 0;
  std::string directory = ".";
  bool all = false;
  // The extract options come first; OpenArchive takes the rest.
  std::vector<char *> rest;
  for (int i = 0; i < argc; i++) {
    if ((!strcmp(argv[i], "-C") || !strcmp(argv[i], "--directory")) && i + 1 < argc) {
      directory = argv[++i];
    } else if (!strncmp(argv[i], "--directory=", 12)) {
      directory = argv[i] + 12;
    } else if (!strcmp(argv[i], "--all")) {
      all = true;
    } else if (!strcmp(argv[i], "-C") || !strcmp(argv[i], "--directory")) {
      return UsageError("extract", std::string(argv[i]) + " needs a value");
    } else {
      rest.push_back(argv[i]);
    }
  }
  Opened opened;
  if (int rc = OpenArchive("extract", (int)rest.size(), rest.data(), &opened)) return rc;
  if (opened.names.empty() && !all) return UsageError("extract", "nothing to extract: give names, --names or --all");
  const std::vector<std::string> &byRecord = opened.byRecord;
  int status = 0;
  ArchiveSolidCache solid;
  for (const std::string &n : opened.names)
    if (ArchiveFind(opened.image, ArchiveHashName(n)) < 0)
      status = Fail(opened.path, NoEntry(opened.image, n));
  for (size_t i = 0; i < opened.image.records.size(); i++) {
    const ArchiveRecord &r = opened.image.records[i];
    std::string name = byRecord[i];
    if (name.empty()) {
      if (!all) continue;
      name = Hex8(r.hash) + ".bin";
    }
    std::string target, error;
    std::vector<uint8_t> content;
    if (!FsNameToPath(directory, name, &target)) {
      status = Fail(opened.path, "'" + name + "' would be written outside the target directory");
    } else if (!ArchiveDecode(opened.bytes, opened.image, r, &content, &error, &solid)) {
      status = Fail(opened.path, EntryLabel(r, byRecord[i]) + ": " + error);
    } else if (!FsMakeParents(target, &error) || !FsWriteFile(target, content, &error)) {
      status = Fail(target, error);
    }
  }
  return status;
}

int CliVerify(int argc, char **argv) {
  if (CliIsHelp(argc, argv)) return fputs(kVerifyUsage, stdout), 0;
  Opened opened;
  std::string ca;
  if (int rc = OpenArchive("verify", argc, argv, &opened, &ca)) return rc;
  const std::vector<std::string> &byRecord = opened.byRecord;
  int status = 0;
  std::vector<std::string> report;
  if (opened.image.trailer) {
    uint32_t signature = ArchiveSignatureSize(opened.image);
    if (signature == 0) {
      report.push_back("not signed");
    } else {
      std::string table = "signed: a certificate table of " + std::to_string(signature) + " bytes at offset " +
                          std::to_string(opened.image.container.end);
      std::string reason;
      switch (CheckSignature(opened.path, ca, &reason)) {
        case SIGNATURE_HOLDS:
          report.push_back(table + "; the signature holds (osslsigncode verify)");
          break;
        case SIGNATURE_BROKEN:
          status = Fail(opened.path, table + ", and the signature does not hold: " + reason);
          break;
        case SIGNATURE_NOT_CHECKED:
          report.push_back(table + "; the signature itself was not checked: " + reason);
          break;
      }
    }
    std::string what;
    if (ArchiveCheckIntegrity(opened.bytes, opened.image, &what) == ARCHIVE_INTEGRITY_DAMAGED)
      status = Fail(opened.path, what);
    else
      report.push_back(what);
    std::string manifest;
    report.push_back(PeReadManifest(opened.bytes, &manifest) ? "manifest: " + PeManifestSummary(manifest)
                                                              : "no manifest");
  }
  if (!opened.image.problem.empty()) status = Fail(opened.path, opened.image.problem);
  for (const std::string &n : opened.names)
    if (ArchiveFind(opened.image, ArchiveHashName(n)) < 0)
      status = Fail(opened.path, NoEntry(opened.image, n));
  ArchiveSolidCache solid;
  for (size_t i = 0; i < opened.image.records.size(); i++) {
    const ArchiveRecord &r = opened.image.records[i];
    std::vector<uint8_t> content;
    std::string error;
    if (!ArchiveDecode(opened.bytes, opened.image, r, &content, &error, &solid))
      status = Fail(opened.path, EntryLabel(r, byRecord[i]) + ": " + error);
  }
  if (status == 0) {
    for (const std::string &line : report) printf("%s: %s\n", opened.path.c_str(), line.c_str());
    printf("%s: %zu %s verified\n", opened.path.c_str(), opened.image.records.size(),
           opened.image.records.size() == 1 ? "entry" : "entries");
  }
  return status;
}
