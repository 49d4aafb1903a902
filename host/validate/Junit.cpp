#include "Junit.h"

#include "Format.h"
#include "Json.h"

namespace validate {
namespace {

const char* const kReplacement = "\xEF\xBF\xBD";

std::string Attribute(const std::string& name, const std::string& value) {
    return " " + name + "=\"" + XmlText(value) + "\"";
}

std::string Property(const std::string& name, const std::string& value) {
    return "      <property" + Attribute("name", name) + Attribute("value", value) + "/>\n";
}

// What a failed, crashed, timed-out, skipped or warning check adds inside its test case.
std::string VerdictElement(const CheckReport& r) {
    const std::string message = Attribute("message", r.verdict.detail.substr(0, r.verdict.detail.find('\n')));
    switch (r.verdict.status) {
    case CheckStatus::Passed:
        return "";
    case CheckStatus::Skipped:
        return "      <skipped" + message + "/>\n";
    case CheckStatus::Failed:
        return "      <failure" + message + " type=\"failed\">" + XmlText(r.verdict.detail) + "</failure>\n";
    case CheckStatus::Crashed:
        return "      <error" + message + " type=\"crashed\">" + XmlText(r.verdict.detail) + "</error>\n";
    case CheckStatus::TimedOut:
        return "      <error" + message + " type=\"timed out\">" + XmlText(r.verdict.detail) + "</error>\n";
    case CheckStatus::Warning:
        return "      <system-out>warning: " + XmlText(r.verdict.detail) + "</system-out>\n";
    }
    return "";
}

} // namespace

std::string XmlText(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            const size_t length = Utf8Length(text, i);
            out += length == 0 ? kReplacement : text.substr(i, length);
            i += length == 0 ? 1 : length;
            continue;
        }
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\t':
        case '\n':
        case '\r':
            out += "&#" + std::to_string(c) + ";";
            break;
        default:
            if (c < 0x20 || c == 0x7F) {
                out += kReplacement;
            } else {
                out += char(c);
            }
        }
        ++i;
    }
    return out;
}

std::string ResultsJunit(const RunInfo& info, const std::vector<CheckReport>& reports) {
    int counts[kCheckStatuses] = {};
    double seconds = 0;
    std::string cases;
    for (const CheckReport& r : reports) {
        ++counts[int(r.verdict.status)];
        seconds += r.seconds;
        cases += "    <testcase" + Attribute("name", r.name) +
                 Attribute("classname", std::string("validate.") + LevelName(r.level)) +
                 Attribute("time", Format("%.3f", r.seconds));
        const std::string verdict = VerdictElement(r);
        cases += verdict.empty() ? "/>\n" : ">\n" + verdict + "    </testcase>\n";
    }
    const std::string totals = Attribute("tests", std::to_string(reports.size())) +
                               Attribute("failures", std::to_string(counts[int(CheckStatus::Failed)])) +
                               Attribute("errors", std::to_string(counts[int(CheckStatus::Crashed)] +
                                                                  counts[int(CheckStatus::TimedOut)])) +
                               Attribute("skipped", std::to_string(counts[int(CheckStatus::Skipped)])) +
                               Attribute("time", Format("%.3f", seconds));
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites" +
           Attribute("name", "quenfield-export validate") + totals + ">\n  <testsuite" +
           Attribute("name", info.plugin) + totals + ">\n    <properties>\n" +
           Property("plugin", info.plugin) + Property("level", LevelName(info.level)) +
           Property("seed", std::to_string(info.seed)) + Property("validatorVersion", info.version) +
           "    </properties>\n" + cases + "  </testsuite>\n</testsuites>\n";
}

} // namespace validate
