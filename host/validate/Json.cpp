#include "Json.h"

#include "Format.h"

namespace validate {

size_t Utf8Length(const std::string& text, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    const size_t length = lead >= 0xF0 && lead <= 0xF4   ? 4
                          : lead >= 0xE0 && lead <= 0xEF ? 3
                          : lead >= 0xC2 && lead <= 0xDF ? 2
                                                         : 0;
    if (length == 0 || i + length > text.size()) {
        return 0;
    }
    // The second byte's range shuts out overlong forms, surrogates and code points above U+10FFFF.
    const unsigned char second = byte(i + 1);
    const unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    const unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    if (second < low || second > high) {
        return 0;
    }
    for (size_t k = 2; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            out += Format("\\u%04x", unsigned(c));
        } else if (c >= 0x80) {
            const size_t length = Utf8Length(text, i);
            // A stray byte stands as the character of the same number.
            out += length == 0 ? Format("\\u%04x", unsigned(c)) : text.substr(i, length);
            i += length == 0 ? 1 : length;
            continue;
        } else {
            out += char(c);
        }
        ++i;
    }
    return out + "\"";
}

std::string ResultsJson(const RunInfo& info, const std::vector<CheckReport>& reports) {
    int counts[kCheckStatuses] = {};
    std::string checks;
    for (const CheckReport& r : reports) {
        ++counts[int(r.verdict.status)];
        checks += std::string(checks.empty() ? "" : ",") + "\n    {\"name\": " + JsonString(r.name) +
                  ", \"level\": " + JsonString(LevelName(r.level)) +
                  ", \"description\": " + JsonString(r.description) +
                  ", \"outcome\": " + JsonString(CheckStatusName(r.verdict.status)) +
                  ", \"detail\": " + JsonString(r.verdict.detail) +
                  ", \"seconds\": " + Format("%.3f", r.seconds) + "}";
    }
    return "{\n  \"schemaVersion\": " + std::to_string(kJsonSchemaVersion) +
           ",\n  \"validatorVersion\": " + JsonString(info.version) +
           ",\n  \"plugin\": " + JsonString(info.plugin) +
           ",\n  \"level\": " + JsonString(LevelName(info.level)) +
           ",\n  \"seed\": " + std::to_string(info.seed) + ",\n  \"checks\": [" + checks +
           "\n  ],\n  \"passed\": " + std::to_string(counts[int(CheckStatus::Passed)]) +
           ",\n  \"failed\": " + std::to_string(counts[int(CheckStatus::Failed)]) +
           ",\n  \"skipped\": " + std::to_string(counts[int(CheckStatus::Skipped)]) +
           ",\n  \"crashed\": " + std::to_string(counts[int(CheckStatus::Crashed)]) +
           ",\n  \"timedOut\": " + std::to_string(counts[int(CheckStatus::TimedOut)]) +
           ",\n  \"warnings\": " + std::to_string(counts[int(CheckStatus::Warning)]) + "\n}\n";
}

} // namespace validate
