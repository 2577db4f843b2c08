#include "CommandLine.h"

#include <ostream>

namespace cli {

Option Flag(const std::string& name, bool& set) {
    return {name, false, [&set](const std::string&) { return set = true; }};
}

Option Text(const std::string& name, std::string& value) {
    return {name, true, [&value](const std::string& text) {
                value = text;
                return !text.empty();
            }};
}

Parsed ParseOptions(const std::vector<Option>& options, const std::vector<std::string>& args) {
    Parsed parsed;
    for (const std::string& arg : args) {
        if (arg == "--")
            break;
        if (arg == "--help" || arg == "-h") {
            parsed.outcome = Parsed::Outcome::Help;
            return parsed;
        }
        if (arg == "--version") {
            parsed.outcome = Parsed::Outcome::Version;
            return parsed;
        }
    }
    const auto badUse = [&parsed](const std::string& why) {
        parsed.outcome = Parsed::Outcome::BadUse;
        parsed.error = why;
        return parsed;
    };
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            parsed.arguments.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const Option* option = nullptr;
        for (const Option& candidate : options) {
            if (candidate.name == name)
                option = &candidate;
        }
        if (option == nullptr)
            return badUse("unknown option " + name);
        std::string value;
        if (equals != std::string::npos) {
            if (!option->takesValue)
                return badUse(name + " takes no value");
            value = arg.substr(equals + 1);
        } else if (option->takesValue) {
            if (i + 1 == args.size())
                return badUse(name + " needs a value");
            value = args[++i];
        }
        if (!option->take(value))
            return badUse("bad value for " + name + ": " + value);
    }
    return parsed;
}

std::optional<int> Answer(const Program& program, const Parsed& parsed, std::ostream& out,
                          std::ostream& err) {
    switch (parsed.outcome) {
        case Parsed::Outcome::Run:
            return std::nullopt;
        case Parsed::Outcome::Help:
            out << program.usage << '\n' << program.help << std::flush;
            return 0;
        case Parsed::Outcome::Version:
            out << VersionText(program.name) << '\n' << std::flush;
            return 0;
        case Parsed::Outcome::BadUse:
            break;
    }
    return UsageError(program, parsed.error, err);
}

int UsageError(const Program& program, const std::string& why, std::ostream& err) {
    err << program.usage << '\n' << program.name << ": " << why << " (see --help)\n";
    return kUsageError;
}

std::string VersionText(const std::string& name) {
    return name + " " + VYK_VERSION;
}

}  // namespace cli
