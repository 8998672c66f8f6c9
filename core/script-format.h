// The format of install.dat, the compiled install script: what the runtime
// reads (installer/) and the builder writes and checks (builder/), in one
// place.
//
// Per command: the mark byte, the keyword, ":", the arguments separated by
// the mark byte, then CR LF. The runtime copies each argument into a buffer
// of one of the sizes below; what does not fit is cut, so the room of an
// argument is its buffer's size less the terminator (SCRIPT_ROOM).
#ifndef VANTOR_SCRIPT_FORMAT_H
#define VANTOR_SCRIPT_FORMAT_H

#include <stdint.h>


// The script's name in the archive.
#define SCRIPT_ENTRY_NAME "install.dat"
// The uninstaller's name when UNINSTALL gives none.
#define SCRIPT_UNINSTALL_DEFAULT_NAME "uninstall.exe"
// Begins every command and separates its arguments.
#define SCRIPT_MARK 0x16
// Keyword bytes the run loop reads after the mark; a registered keyword is
// shorter than SCRIPT_KEYWORD_SIZE.
#define SCRIPT_KEYWORD_MAX 39
#define SCRIPT_KEYWORD_SIZE (SCRIPT_KEYWORD_MAX + 1)

// Buffer sizes of the arguments.
#define SCRIPT_FIELD_SIZE 160     // text fields of the record: names, prompt, paths, messages
#define SCRIPT_ARG_SIZE 80        // one argument of GRADIENT START, GRADIENT END, FONT and STRING
#define SCRIPT_FACE_SIZE 32       // a STRING's typeface as the system gets it
#define SCRIPT_OLE_MODE_SIZE 40   // OLE's REGISTER or UNREGISTER
// Characters an argument keeps in a buffer of size bytes.
#define SCRIPT_ROOM(size) ((size) - 1)
// CREATE GROUP's name goes into this command for Program Manager, built in
// a buffer of SCRIPT_GROUP_COMMAND_SIZE; a longer command is refused, so the
// name's room is what the buffer leaves around the command's own text.
#define SCRIPT_GROUP_COMMAND "[CreateGroup(\"%s\")]"
#define SCRIPT_GROUP_COMMAND_SIZE 160
#define SCRIPT_GROUP_ROOM (SCRIPT_ROOM(SCRIPT_GROUP_COMMAND_SIZE) - ((int)sizeof SCRIPT_GROUP_COMMAND - 3))

// Colours: "red, green, blue", decimal whole numbers separated by commas,
// each stored modulo 256; at most three components are read.
#define SCRIPT_COLOUR_SEPARATOR ','
#define SCRIPT_COLOUR_COMPONENTS 3

// Placement and style bits of a screen string.
#define STR_RIGHT     0x01
#define STR_UP        0x02
#define STR_CENTERX   0x04
#define STR_CENTERY   0x08
#define STR_ITALIC    0x10
#define STR_BOLD      0x20
#define STR_UNDERLINE 0x40

// STRING's style words with their bits, in the order the runtime looks for
// them; each is found anywhere in the upper-cased argument.
struct ScriptStyleWord {
  const char *word;
  int32_t flag;
};
static const ScriptStyleWord scriptStyleWords[] = {
    {"ITALIC", STR_ITALIC}, {"BOLD", STR_BOLD},    {"UNDERLINE", STR_UNDERLINE}, {"LEFT", 0},
    {"DOWN", 0},            {"RIGHT", STR_RIGHT},  {"UP", STR_UP},               {"CENTERX", STR_CENTERX},
    {"CENTERY", STR_CENTERY},
};
#define SCRIPT_STYLE_WORD_COUNT ((int)(sizeof scriptStyleWords / sizeof scriptStyleWords[0]))

#endif
