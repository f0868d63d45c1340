#pragma once
// How many characters (UTF-16 code units) the editor's fields take, so that
// whatever the user enters saves into a project document that opens again
// (the writer's and reader's byte limits are in xml_support.h, and
// document_writer.cpp checks that these fit them). A character is at most 3
// bytes of UTF-8 and at most 6 bytes once escaped.

// One text: a title's text, in its multi-line editor.
constexpr int MaxEnteredTextLength = 3'000'000;
// A one-line field (an event's text, the names of types and groups, a group's
// meaning, the panels' insertion texts). Single-line fields lay their whole
// text out at each change, so a longer paste would freeze the editor; this is
// the toolkit's own default, now stated, and far within the document's
// limits.
constexpr int MaxEnteredLineLength = 32'767;
// A whole parameter list as the editors show it, one "name=value" per line:
// its longest parameter must fit one start tag.
constexpr int MaxEnteredParametersLength = 1'600'000;
