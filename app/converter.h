#pragma once
// scenemark-convert: the importers and the Prolog export without a display,
// for scripts that convert many files.
//
//   scenemark-convert import FORMAT INPUT [--offset MS] [--color N]
//                     [--into PROJECT.xml] -o OUTPUT.xml
//   scenemark-convert export prolog PROJECT.xml -o OUTPUT.pl
//
// FORMAT: transcription, annotation, prolog, output-events, graph, objects.
// An import starts from an empty project, or from a copy of PROJECT.xml
// (its media list, layout and annotation kept), and saves the result
// safely. The export opens the project's media through the backend registry
// as the editor does (path translation of Scenemark.ini included); a medium
// that does not open is reported and left out.
//
// Returns the exit status: 0 on success, 1 when the conversion failed (the
// editor's message on err, no output written), 2 for a wrong command line.

#include <iosfwd>

int RunConvert(int argc, const char* const* argv, std::ostream& out, std::ostream& err);
