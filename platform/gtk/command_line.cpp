// The command line as Windows hands it to WinMain, built from the arguments
// a Linux program is started with, so that the program's own splitter gets
// back exactly those arguments.
#include <cstring>

#include "platform/gtk/gtk_internal.h"

namespace {

void AppendQuoted(std::string* line, const char* argument) {
    line->push_back('"');
    std::size_t backslashes = 0;
    for (const char* c = argument; *c != '\0'; ++c) {
        if (*c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes before a quote stand for half as many: double them.
        line->append(*c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        line->push_back(*c);
    }
    line->append(2 * backslashes, '\\');  // before the closing quote
    line->push_back('"');
}

}  // namespace

namespace gtkside {

std::string CommandLine(int count, const char* const* arguments) {
    std::string line;
    for (int i = 0; i < count; ++i) {
        const char* argument = arguments[i] != nullptr ? arguments[i] : "";
        if (i > 0) {
            line.push_back(' ');
        }
        if (*argument == '\0' || std::strpbrk(argument, " \t\"") != nullptr) {
            AppendQuoted(&line, argument);
        } else {
            line.append(argument);
        }
    }
    return line;
}

}  // namespace gtkside
