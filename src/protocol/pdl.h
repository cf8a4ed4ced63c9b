// The protocol definition language: loads a protocol definition file into the
// protocol tree (protocol.h) and the protocol name table (symbol.h).
//
// A file holds primitive definitions, then protocol definitions:
//   primitive NAME : LOW[,HIGH] "label"
//   protocol  NAME : LOW[,HIGH] "label" HEADER_LENGTH { FIELD... }
//   FIELD:    [mask] byte|octet|word|lword : OFFSET[,ALT_OFFSET] NAME
// A protocol's children are its fields, last written first, then its catch-all node
// "OTHER_" + NAME, which matches every frame.
//
// Besides the grammar the loader refuses, with a "PDL Parse" message naming the line:
//   - a name longer than 19 characters ("name longer than 19 characters");
//   - a name given a head (primitive or protocol) twice ("NAME defined more than once");
//   - a name used as a field more than once, in one block or in several, since a node
//     sits in one child list only ("NAME used as a field more than once");
//   - a field that would make a protocol reachable from itself ("NAME reachable from
//     itself");
//   - a name "OTHER_" + P written in the file before protocol P's block ends, which
//     would clash with P's catch-all ("OTHER_P already used").
// Labels longer than 31 bytes are cut to 31 (at a character boundary); so are
// catch-all labels, "Other " + label. So a loaded tree is always finite and acyclic.
#pragma once

#include "protocol/protocol.h"

// Loads the file at `path` (a backslash in it is read as a path separator) and
// returns the node of "ROOT", or null when the file cannot be read, has an error, or
// never mentions ROOT. Each call starts from an empty name table (symbol_reset), so
// the nodes of an earlier load are freed; on failure the table is left empty.
// Messages: "Corvex" / "Protocol Definition Language: Could not open file %s for
// parsing" plus "pdl_parse: Warning - %s not found\n" on standard output when the file
// cannot be opened; "PDL Parse" / "%s on line [%d]" for errors in the file; the line
// "pdl_parse: Warning - %s defines no ROOT\n" on standard output when ROOT is missing.
[[nodiscard]] ProtocolNode* pdl_parse(const char* path);
