#include "signing.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

#ifdef _WIN32
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

// Runs osslsigncode with the arguments, its "Succeeded" line silenced;
// its exit code, or -1 (errno set) when it could not be started.
int RunSigner(const std::vector<std::string> &args) {
#ifdef _WIN32
  // The C runtime joins the arguments with blanks, so each is quoted.
  std::vector<std::string> quoted;
  for (const std::string &a : args) quoted.push_back("\"" + a + "\"");
  std::vector<const char *> argv = {kSigner};
  for (const std::string &q : quoted) argv.push_back(q.c_str());
  argv.push_back(NULL);
  return (int)_spawnvp(_P_WAIT, kSigner, argv.data());
#else
  std::vector<char *> argv = {const_cast<char *>(kSigner)};
  for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
  argv.push_back(NULL);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
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
  int rc = RunSigner(SignArguments(options, unsignedPath, path));
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
