#include "args/CommandArgs.h"

#include <algorithm>
#include <charconv>

CCommandArgs::CCommandArgs(const std::vector<std::string>& args, std::vector<std::string> valueOptions,
                           std::vector<std::string> flagOptions,
                           std::vector<std::pair<std::string, std::string>> aliases)
{
    auto has = [](const std::vector<std::string>& v, const std::string& s) {
        return std::find(v.begin(), v.end(), s) != v.end();
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        for (const auto& [shortName, longName] : aliases)
            if (arg == shortName)
                arg = longName;
        if (arg == "--") {
            m_positional.insert(m_positional.end(), args.begin() + static_cast<long>(i) + 1, args.end());
            break;
        }
        if (arg.rfind("--", 0) != 0) {
            if (arg.size() > 1 && arg[0] == '-') {
                m_strError = "unknown option " + arg;
                return;
            }
            m_positional.push_back(arg);
            continue;
        }
        std::string name = arg;
        std::optional<std::string> value;
        if (auto eq = arg.find('='); eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
        }
        if (has(flagOptions, name) && !value) {
            m_flags.push_back(name);
        } else if (has(valueOptions, name)) {
            if (!value) {
                if (i + 1 >= args.size()) {
                    m_strError = "option " + name + " needs a value";
                    return;
                }
                value = args[++i];
            }
            m_values.emplace_back(name, *value);
        } else {
            m_strError = "unknown option " + arg;
            return;
        }
    }
}

bool CCommandArgs::Flag(const std::string& name) const
{
    return std::find(m_flags.begin(), m_flags.end(), name) != m_flags.end();
}

std::optional<std::string> CCommandArgs::Value(const std::string& name) const
{
    std::optional<std::string> last;
    for (const auto& [n, v] : m_values)
        if (n == name)
            last = v;
    return last;
}

std::vector<std::string> CCommandArgs::Values(const std::string& name) const
{
    std::vector<std::string> all;
    for (const auto& [n, v] : m_values)
        if (n == name)
            all.push_back(v);
    return all;
}

bool ParseWholeNumber(std::string_view text, long lo, long hi, long& out)
{
    long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < lo || value > hi)
        return false;
    out = value;
    return true;
}
