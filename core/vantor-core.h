// vantor-core: diagnostics log, assertions and fatal errors, start-up switches,
// command-line tokens, CRC-32 and memory accounting.
//
// Convention of the whole library: operations return 1 for success or true and
// 0 for failure or false; findings come back through out arguments. Every
// pointer argument is checked with ASSERT(POINTER_IS_NULL).
#ifndef VANTOR_CORE_H
#define VANTOR_CORE_H

#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>

#define VANTOR_VERSION "0.22"

// Debug flags.
#define DEBUG_CONSOLE 1  // "-window": a console shows every text
#define DEBUG_FILE    2  // "-debug": every text is appended to the log file
#define DEBUG_REPORT  4  // "-debug": banner and module reports
#define DEBUG_APPEND  8  // "-append": the log file is not emptied at start

#define DEBUG_LINE_SIZE 2048  // characters of the line buffer, terminator extra
#define VANTOR_PATH_SIZE 772  // paths and archive entry names: 771 characters and the terminator

#if defined(__GNUC__)
#define VANTOR_PRINTF(f, a) __attribute__((format(printf, f, a)))
#define VANTOR_NORETURN __attribute__((noreturn))
#else
#define VANTOR_PRINTF(f, a)
#define VANTOR_NORETURN
#endif

// Computes the flags from the switches "-debug", "-window", "-append" found
// anywhere in the argument text (plain, case-sensitive substrings). Returns 1.
int DebugParseSwitches(const char *args, int *flags);

// Stores the flags, builds the log path beside the program (token 0 of the
// process command line), opens the console, empties the log file and logs the
// banner, as the flags say. A program path too long for the log path buffer
// is refused: the log then goes to the current directory. A file name too
// long for the buffer is cut to fit.
void DebugInit(const char *fileName, int flags);
// Nothing to release: the log file is never held open, so logging still
// works afterwards.
void DebugRemove(void);

// Current flags (0: logging off) and the log path built by DebugInit.
int DebugFlags(void);
const char *DebugLogPath(void);

// Formats one text (bounded to the line buffer) and writes it to every output
// the flags select. Returns the full length of the text, 1 when logging is
// off; a text longer than 2,048 characters is the fatal "Last string too large".
int DebugPrintf(const char *format, ...) VANTOR_PRINTF(1, 2);
int DebugVPrintf(const char *format, va_list args);
void DebugWrite(const char *text);

// A 79-character section header line ("\n====[name]===..."), or for NULL a
// closing rule of 79 "=".
void DebugSection(const char *name);

// The source location the next DebugAssert / DebugAbort reports (the ASSERT
// and ABORT macros record it); the two are kept apart. file is not copied.
void DebugSetAssertWhere(const char *file, int line);
void DebugSetAbortWhere(const char *file, int line);
// Returns only when the condition is true; otherwise logs (when the log is on)
// and ends the process with exit code 1. Never shows a box.
void DebugAssert(int condition, const char *format, ...) VANTOR_PRINTF(2, 3);
// Shows the fatal-error box, logs, ends the process with exit code 1.
VANTOR_NORETURN void DebugAbort(const char *format, ...) VANTOR_PRINTF(1, 2);
// 0 keeps the fatal-error box away (a run nobody watches): DebugAbort then
// only logs and ends. 1, the start value, shows it.
void DebugSetAbortBox(int show);
// hook (NULL: none) runs once when a failed assertion or a fatal error is
// about to end the process, after its log lines and box; the installer
// undoes its journal there.
void DebugSetFatalHook(void (*hook)(void));

// The message of the assertion that a pointer is given, kept once in the
// program (each text written out in a function would be a copy of its own).
extern const char POINTER_IS_NULL[];

#define ASSERT(condition, ...) \
  (DebugSetAssertWhere(__FILE__, __LINE__), DebugAssert((condition) ? 1 : 0, __VA_ARGS__))
#define ABORT(...) \
  (DebugSetAbortWhere(__FILE__, __LINE__), DebugAbort(__VA_ARGS__))

#define ABORT_CAPTION "Internal error, program aborting..."

// Bounded formatting used by every module that builds text into a fixed
// buffer: writes at most size - 1 bytes and the terminator, a cut text ending
// where a UTF-8 character ends; returns the length the full text would have.
int VantorFormat(char *buffer, int size, const char *format, ...) VANTOR_PRINTF(3, 4);
int VantorVFormat(char *buffer, int size, const char *format, va_list args);

// Command-line tokens: blanks, CR and LF separate; double quotes group.
// CmdLineFindArg returns the token's first character or NULL.
const char *CmdLineFindArg(const char *text, int index);
// Copies the token without its quotes into out; the caller's buffer must hold
// it. Returns 1 if the token exists, else 0 (out empty).
int CmdLineGetArg(const char *text, int index, char *out);
// As CmdLineGetArg, but never writes more than size bytes (token cut to fit).
int CmdLineGetArgN(const char *text, int index, char *out, int size);

// The running program's file into out (size bytes): token 0 of commandLine,
// with ".exe" appended when it holds none anywhere (any case); when that
// does not fit whole in PROGRAM_PATH_CHARS characters (the installer's own
// path buffer, so that the log and the archive agree) or in size, the file
// the system reports for the running module, so that no other file is ever
// named. PROGRAM_PATH_TOKEN or PROGRAM_PATH_MODULE says which; 0 (out empty)
// when neither fits.
#define PROGRAM_PATH_CHARS 159
#define PROGRAM_PATH_TOKEN 1
#define PROGRAM_PATH_MODULE 2
int ProgramPathFind(const char *commandLine, char *out, int size);

// Standard CRC-32 (IEEE 802.3, reflected). A length of 0 or less gives 0.
uint32_t Crc32(const void *data, int length);
// The same CRC-32 carried on over a further block: crc is the CRC-32 of the
// bytes before (0 before the first block), the result that of all of them.
uint32_t Crc32Update(uint32_t crc, const void *data, uint32_t length);

// ---- Memory accounting ----------------------------------------------------

#define GUARD_BYTE 0xCC
#define QUICK_MEMORY_SIZE 1024000

// Zero-filled, guarded block of at least size bytes; fatal on size < 1 or an
// exhausted heap, so the result is never NULL.
void *MemAlloc(int size, const char *file, int line);
// The same block left as the heap gives it, for one about to be written in
// full (an unpacking window, an input buffer): it saves clearing what is
// overwritten anyway. Released with MemFree.
void *MemAllocUncleared(int size, const char *file, int line);
// Checks both guards (fatal when altered), releases the block, sets *pointer
// to NULL. size must be the value given to MemAlloc. Returns 1.
int MemFree(void *pointer, int size, const char *file, int line);

#define MEM_ALLOC(size) MemAlloc((size), __FILE__, __LINE__)
#define MEM_ALLOC_UNCLEARED(size) MemAllocUncleared((size), __FILE__, __LINE__)
#define MEM_FREE(pointer, size) MemFree((void *)&(pointer), (size), __FILE__, __LINE__)

// Zeroes the counters and reserves the quick pool (a counted block of
// quickSize bytes; none for 0), with the "Memory Init" reports. Returns 1.
int MemoryInit(int quickSize);
// Releases the quick pool, then reports maxima (DEBUG_REPORT) and, whenever
// the log is on, the "Not all memory was free'd" line for what is left.
// Returns 1.
int MemoryRemove(void);
// Internal steps of MemoryInit and MemoryRemove; each returns 1.
int GlobalMemoryInit(void);
int GlobalMemoryRemove(void);
int QuickMemoryInit(int size);
int QuickMemoryRemove(void);
int QuickMemoryReport(void);
// Ends a frame of the quick pool (once per dispatched window message).
// Returns 1.
int QuickMemoryFrame(void);

// Counters of the general pool, for reports and tests.
struct MemoryCounters {
  int32_t count, bytes, maxCount, maxBytes;
};
void MemoryGetCounters(MemoryCounters *out);

#endif
