// Stroke fonts: text drawn as short line segments through the drawing library's
// relative moves and draws, so that it scales, rotates and clips like the rest of the
// map. The font comes from the binary file font.bin (layout in fontfile.h).
//
// Errors print their message on standard error and exit with status 1.
//
// Threads: load the font once at start-up, before other threads start. htextsize,
// hcharstr and hgetcharsize run under the drawing library's GraphicsLock like every
// drawing call; htextwidth needs no lock (the text size is kept in atomics and the font
// never changes once loaded).
#pragma once

#include <string>

// Directory to load fonts from; a trailing backslash is added when it has no
// separator at its end (a backslash is read as '/' when the file is opened). An empty
// directory means the working directory; null forgets the directory, so that the
// environment gives it again.
void hfontdir(const char* dir);

// Loads the named font unless a font of that name is loaded already. The file is the
// font directory followed by the name, else the bare name. With no directory set,
// "HFONTLIB", then "VFONTLIB", then "c:\lib\hershey\" give it. A name starting with '/'
// is remembered by the part after its last '/'.
void hloadfont(const char* name);

// Size of a character cell in world units: with S = max(ascender - descender, maximum
// width), x scale = width / |S| and y scale = height / |S|.
void htextsize(float width, float height);

// Width and height of one character at the current text size, in world units.
void hgetcharsize(char code, float* width, float* height);

// Draws the text from the current position, leaving the position after its last
// character.
void hcharstr(const char* text);

// Width of a text at the current text size: the sum of its characters' widths. Returns
// 0 when no font is loaded or text is null. Its signature fits the traffic model's
// model_set_text_width(); install it after hloadfont() and htextsize():
//     model_set_text_width(htextwidth);
float htextwidth(const char* text);

// The strokes hcharstr would draw, as text: for each character a line
// "char 'A' width W", then "move X Y" / "draw X Y" lines with the positions (world
// units, relative to where the text starts) and a final "move" to the next character.
// For tests and for checking a font file by eye.
std::string hcharstr_dump(const char* text);
