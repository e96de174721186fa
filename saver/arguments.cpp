#include "saver/arguments.h"

#include <cctype>

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// "/x" or "-x" for the letter x, in any case, with what follows it.
bool IsOption(const std::string& argument, char letter, std::string* rest) {
    if (argument.size() < 2 || (argument[0] != '/' && argument[0] != '-') ||
        std::tolower(static_cast<unsigned char>(argument[1])) != letter) {
        return false;
    }
    *rest = argument.substr(2);
    return true;
}

bool ParseWindow(const std::string& text, HWND* window) {
    std::uint64_t number = 0;
    if (!ParseNumber(text, false, kLargestWindowNumber, &number)) {
        return false;
    }
    *window = WindowFromNumber(number);
    return true;
}

// The window after an option letter: joined ("/p:N", the only argument) or
// separate ("/p N", two arguments); with neither, there is none, which only
// an option whose window is optional takes.
bool ParseOptionWindow(const std::string& rest, const std::vector<std::string>& arguments, bool required,
                       HWND* window) {
    if (!rest.empty() && rest[0] == ':' && arguments.size() == 1) {
        return ParseWindow(rest.substr(1), window);
    }
    if (rest.empty() && arguments.size() == 2) {
        return ParseWindow(arguments[1], window);
    }
    return !required && rest.empty() && arguments.size() == 1;
}

// "--name" or "-name".
bool IsHackOption(const std::string& argument, const char* name) {
    const std::string bare = argument.compare(0, 2, "--") == 0 ? argument.substr(2)
                             : argument.compare(0, 1, "-") == 0 ? argument.substr(1)
                                                                : std::string();
    return bare == name;
}

}  // namespace

std::vector<std::string> SplitCommandLine(const char* commandLine) {
    std::vector<std::string> arguments;
    if (commandLine == nullptr) {
        return arguments;
    }
    std::string current;
    bool inArgument = false;
    bool quoted = false;
    for (const char* at = commandLine; *at != '\0'; ++at) {
        if (*at == '\\') {
            std::size_t slashes = 0;
            while (at[slashes] == '\\') {
                ++slashes;
            }
            inArgument = true;
            if (at[slashes] == '"') {
                // Pairs before a quote are backslashes; an odd one escapes it.
                current.append(slashes / 2, '\\');
                if (slashes % 2 == 1) {
                    current += '"';
                } else {
                    quoted = !quoted;
                }
                at += slashes;
            } else {
                current.append(slashes, '\\');
                at += slashes - 1;
            }
        } else if (*at == '"') {
            quoted = !quoted;
            inArgument = true;
        } else if (IsSpace(*at) && !quoted) {
            if (inArgument) {
                arguments.push_back(current);
            }
            current.clear();
            inArgument = false;
        } else {
            current += *at;
            inArgument = true;
        }
    }
    if (inArgument) {
        arguments.push_back(current);
    }
    return arguments;
}

bool ParseNumber(const std::string& text, bool hexAllowed, std::uint64_t largest, std::uint64_t* value) {
    const bool hex = hexAllowed && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    const std::uint64_t base = hex ? 16 : 10;
    if (digits.empty()) {
        return false;
    }
    std::uint64_t number = 0;
    for (char c : digits) {
        const unsigned char u = static_cast<unsigned char>(c);
        std::uint64_t digit = 0;
        if (std::isdigit(u)) {
            digit = static_cast<std::uint64_t>(u - '0');
        } else if (hex && std::isxdigit(u)) {
            digit = static_cast<std::uint64_t>(std::tolower(u) - 'a' + 10);
        } else {
            return false;
        }
        if (number > (largest - digit) / base) {
            return false;
        }
        number = number * base + digit;
    }
    *value = number;
    return true;
}

HWND WindowFromNumber(std::uint64_t number) { return reinterpret_cast<HWND>(static_cast<UINT_PTR>(number)); }

bool ParseScrArguments(const char* commandLine, ScrArguments* parsed) {
    const std::vector<std::string> arguments = SplitCommandLine(commandLine);
    ScrArguments result;
    std::string rest;
    if (arguments.empty()) {
        result.mode = ScrMode::Settings;
    } else if (IsOption(arguments[0], 's', &rest) && rest.empty() && arguments.size() == 1) {
        result.mode = ScrMode::FullScreen;
    } else if (IsOption(arguments[0], 'p', &rest)) {
        result.mode = ScrMode::Preview;
        if (!ParseOptionWindow(rest, arguments, true, &result.window)) {
            return false;
        }
    } else if (IsOption(arguments[0], 'c', &rest)) {
        result.mode = ScrMode::Settings;
        if (!ParseOptionWindow(rest, arguments, false, &result.window)) {
            return false;
        }
    } else {
        return false;
    }
    *parsed = result;
    return true;
}

bool ParseWindowId(const std::string& text, std::uint64_t* id) {
    return ParseNumber(text, true, kLargestWindowId, id);
}

bool ParseHackArguments(int count, const char* const* given, HackArguments* parsed) {
    const std::vector<std::string> arguments(given, given + (count > 0 ? count : 0));
    HackArguments result;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& option = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (IsHackOption(option, "root")) {
            result.target = HackTarget::Root;
        } else if (IsHackOption(option, "window-id") && hasValue) {
            result.target = HackTarget::WindowId;
            if (!ParseWindowId(arguments[++i], &result.windowId)) {
                return false;
            }
        } else if (IsHackOption(option, "picture") && hasValue && !arguments[i + 1].empty()) {
            result.picture = arguments[++i];
        } else if (IsHackOption(option, "delay") && hasValue) {
            std::uint64_t delay = 0;
            if (!ParseNumber(arguments[++i], false, 0xFFFFFFFFu, &delay)) {
                return false;
            }
            result.delayMicroseconds = static_cast<std::uint32_t>(delay);
        } else {
            return false;
        }
    }
    *parsed = result;
    return true;
}
