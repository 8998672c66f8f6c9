#include "signing.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
extern char **environ;
#endif

#include "archive-reader.h"
#include "fsutil.h"

namespace {

const char kSigner[] = "osslsigncode";

// Runs osslsigncode with the arguments; its exit code, or -1 (errno set)
// when it could not be started. Its standard output goes to the file
// output, and with capture its standard error too; an empty output leaves
// both where they are.
int RunSigner(const std::vector<std::string> &args, const std::string &output, bool capture) {
#ifdef _WIN32
  // The C runtime joins the arguments with blanks, so each is quoted; the
  // program started inherits the standard handles, set here for the call.
  std::vector<std::string> quoted;
  for (const std::string &a : args) quoted.push_back("\"" + a + "\"");
  std::vector<const char *> argv = {kSigner};
  for (const std::string &q : quoted) argv.push_back(q.c_str());
  argv.push_back(NULL);
  fflush(stdout);
  fflush(stderr);
  int out = -1, err = -1, to = -1;
  if (!output.empty() && (to = _open(output.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, 0600)) >= 0) {
    out = _dup(1);
    _dup2(to, 1);
    if (capture) err = _dup(2), _dup2(to, 2);
  }
  int rc = (int)_spawnvp(_P_WAIT, kSigner, argv.data());
  int why = errno;
  if (out >= 0) _dup2(out, 1), _close(out);
  if (err >= 0) _dup2(err, 2), _close(err);
  if (to >= 0) _close(to);
  errno = why;
  return rc;
#else
  std::vector<char *> argv = {const_cast<char *>(kSigner)};
  for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
  argv.push_back(NULL);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!output.empty()) {
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (capture) posix_spawn_file_actions_adddup2(&actions, 1, 2);
  }
  pid_t pid;
  int started = posix_spawnp(&pid, kSigner, &actions, NULL, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (started != 0) {
    errno = started;
    return -1;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
#endif
}

#ifdef _WIN32
const char kQuiet[] = "NUL";
#else
const char kQuiet[] = "/dev/null";
#endif

// The line of osslsigncode's report that says why a signature failed: its
// "Error:" line, else OpenSSL's reason ("...:digest failure:..."), else its
// last line.
std::string SignerReason(const std::string &report) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < report.size()) {
    size_t end = report.find('\n', at);
    if (end == std::string::npos) end = report.size();
    std::string line = report.substr(at, end - at);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
    size_t first = line.find_first_not_of(" \t");
    if (first != std::string::npos) lines.push_back(line.substr(first));
    at = end + 1;
  }
  for (const std::string &line : lines)
    if (line.compare(0, 7, "Error: ") == 0) return line.substr(7);
  for (const std::string &line : lines) {
    size_t routines = line.find(" routines:");
    if (line.find(":error:") == std::string::npos || routines == std::string::npos) continue;
    size_t name = line.find(':', routines + 10), end = line.find(':', name + 1);
    if (name != std::string::npos && end != std::string::npos) return line.substr(name + 1, end - name - 1);
  }
  return lines.empty() ? "no report" : lines.back();
}

// Whether the signed file still holds a sound archive behind a signature.
bool CheckSigned(const std::string &path, std::string *error) {
  std::vector<uint8_t> bytes;
  ArchiveImage image;
  std::string what;
  if (!FsReadFile(path, &bytes, error)) return false;
  if (!ArchiveParse(bytes, &image, error)) {
    *error = "after signing the archive is no longer found: " + *error;
    return false;
  }
  if (ArchiveSignatureSize(image) == 0) {
    *error = "osslsigncode left no certificate table at the end of the file";
    return false;
  }
  if (ArchiveCheckIntegrity(bytes, image, &what) != ARCHIVE_INTEGRITY_MATCHES) {
    *error = "after signing, " + what;
    return false;
  }
  return true;
}

}  // namespace

std::vector<std::string> SignArguments(const SignOptions &options, const std::string &input,
                                       const std::string &output) {
  std::vector<std::string> args = {"sign", "-pkcs12", options.certificate};
  if (!options.passwordFile.empty()) args.insert(args.end(), {"-readpass", options.passwordFile});
  args.insert(args.end(), {"-h", "sha256"});
  if (!options.timestampUrl.empty()) args.insert(args.end(), {"-ts", options.timestampUrl});
  args.insert(args.end(), {"-in", input, "-out", output});
  return args;
}

bool SignInstaller(const std::string &path, const SignOptions &options, std::string *error) {
  std::string unsignedPath = path + ".unsigned";
  remove(unsignedPath.c_str());
  if (rename(path.c_str(), unsignedPath.c_str()) != 0) {
    *error = std::string("cannot be set aside for signing: ") + strerror(errno);
    remove(path.c_str());
    return false;
  }
  int rc = RunSigner(SignArguments(options, unsignedPath, path), kQuiet, false);
  int why = errno;
  remove(unsignedPath.c_str());
  bool ok = false;
  if (rc < 0 && why == ENOENT)
    *error = "osslsigncode is not installed, and --sign needs it (on Debian: apt-get install osslsigncode)";
  else if (rc < 0)
    *error = std::string("osslsigncode could not be started: ") + strerror(why);
  else if (rc != 0)
    *error = "osslsigncode could not sign it (exit code " + std::to_string(rc) + ", its messages above)";
  else
    ok = CheckSigned(path, error);
  if (!ok) remove(path.c_str());
  return ok;
}

SignatureCheck CheckSignature(const std::string &path, const std::string &ca, std::string *reason) {
  if (RunSigner({"--version"}, kQuiet, true) < 0) {
    *reason = errno == ENOENT ? "osslsigncode is not installed" : std::string("osslsigncode could not be started: ") +
                                                                     strerror(errno);
    return SIGNATURE_NOT_CHECKED;
  }
  std::string report = path + ".verify";
  std::vector<std::string> args = {"verify"};
  if (!ca.empty()) args.insert(args.end(), {"-CAfile", ca});
  args.insert(args.end(), {"-in", path});
  int rc = RunSigner(args, report, true);
  std::vector<uint8_t> bytes;
  std::string error;
  bool read = FsReadFile(report, &bytes, &error);
  remove(report.c_str());
  if (rc == 0) return SIGNATURE_HOLDS;
  *reason = rc < 0 ? std::string("osslsigncode could not be started: ") + strerror(errno)
                   : SignerReason(read ? std::string(bytes.begin(), bytes.end()) : std::string());
  return rc < 0 ? SIGNATURE_NOT_CHECKED : SIGNATURE_BROKEN;
}
