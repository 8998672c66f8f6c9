// The presentation commands (COMPANY NAME, PRODUCT NAME, TEXT, GRADIENT
// START, GRADIENT END, FILE LIST, FONT, STRING, REFRESH; handlers declared in
// command.h) and the colour reading they share.
#ifndef INSTALLER_PRESENT_H
#define INSTALLER_PRESENT_H

// The largest ID of a STRING or FONT entry; an ID above it, like one below
// 1, is the fatal "Invalid string ID (%d / %d)\n".
#define PRESENT_ID_MAX 65535

// Reads "red, green, blue" (decimal whole numbers separated by commas) into
// consecutive bytes of destination, each stored modulo 256; the commas of
// text are overwritten by terminators. Fewer than three components leave the
// remaining bytes as they were (an empty text sets the first byte to 0);
// components after the third are ignored. Returns 1.
int ParseRgb(unsigned char *destination, char *text);

#endif
