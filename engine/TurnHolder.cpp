#include "engine/TurnHolder.h"

#include <boost/filesystem/path.hpp>
#include <charconv>
#include <sstream>

namespace ferrymark {
namespace {

std::string escapeValue(const std::string& value) {
    std::string out;
    for (const char c : value) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::string unescapeValue(const std::string& value) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            out += value[i + 1] == 'n' ? '\n' : value[i + 1];
            ++i;
        } else {
            out += value[i];
        }
    }
    return out;
}

std::int64_t number(const std::string& text) {
    std::int64_t n = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), n);
    return error == std::errc() && end == text.data() + text.size() ? n : 0;
}

}  // namespace

std::string TurnHolder::text() const {
    std::ostringstream out;
    out << "kind " << (move ? "move" : "copy") << "\n"
        << "target " << escapeValue(target) << "\n"
        << "source " << escapeValue(firstSource) << "\n"
        << "sources " << sources << "\n"
        << "program " << escapeValue(program) << "\n"
        << "pid " << pid << "\n";
    return out.str();
}

TurnHolder TurnHolder::parse(const std::string& text) {
    TurnHolder holder;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        const auto space = line.find(' ');
        if (space == std::string::npos) {
            continue;
        }
        const std::string name = line.substr(0, space);
        const std::string value = unescapeValue(line.substr(space + 1));
        if (name == "kind") {
            holder.move = value == "move";
        } else if (name == "target") {
            holder.target = value;
        } else if (name == "source") {
            holder.firstSource = value;
        } else if (name == "sources") {
            holder.sources = number(value);
        } else if (name == "program") {
            holder.program = value;
        } else if (name == "pid") {
            holder.pid = number(value);
        }
    }
    return holder;
}

std::string TurnHolder::describe() const {
    if (!known()) {
        return "another transfer";
    }
    std::string out = move ? "the move of “" : "the copy of “";
    out += boost::filesystem::path(firstSource).filename().string() + "”";
    if (sources > 1) {
        out +=
            " and " + std::to_string(sources - 1) + (sources == 2 ? " more item" : " more items");
    }
    out += " to “" + target + "”";
    if (!program.empty() || pid != 0) {
        out += " (" + program + (pid != 0 ? ", process " + std::to_string(pid) : "") + ")";
    }
    return out;
}

}  // namespace ferrymark
