#include "TFFOptionParser.h"

#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

std::vector<std::string_view> Words(std::string_view text)
{
    std::vector<std::string_view> words;
    std::size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && (text[at] == ' ' || text[at] == '\t'))
            ++at;
        std::size_t end = at;
        while (end < text.size() && text[end] != ' ' && text[end] != '\t')
            ++end;
        if (end > at)
            words.push_back(text.substr(at, end - at));
        at = end;
    }
    return words;
}

} // namespace

std::int64_t TFFOptionParser::ParseBitRate(std::string_view text)
{
    if (text.empty() || text.size() > 32)
        return -1;
    double scale = 1;
    switch (text.back()) {
    case 'k':
    case 'K':
        scale = 1e3;
        break;
    case 'M':
        scale = 1e6;
        break;
    case 'G':
        scale = 1e9;
        break;
    default:
        break;
    }
    if (scale != 1)
        text.remove_suffix(1);
    if (text.empty())
        return -1;
    for (const char c : text) {
        if ((c < '0' || c > '9') && c != '.')
            return -1;
    }
    const std::string digits(text);
    char* end = nullptr;
    const double value = std::strtod(digits.c_str(), &end) * scale;
    if (end != digits.c_str() + digits.size() || !std::isfinite(value) || value < 1 ||
        value > double(std::numeric_limits<std::int32_t>::max()))
        return -1;
    return static_cast<std::int64_t>(std::llround(value));
}

bool TFFOptionParser::Parse(std::string_view text, TFFOptionSet& set, std::string& error)
{
    const std::vector<std::string_view> words = Words(text);
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string_view word = words[i];
        if (word == "-vn") {
            set.NoVideo = true;
        } else if (word == "-sn") {
            set.NoSubtitles = true;
        } else if (word == "-b:a" || word == "-b:v") {
            if (i + 1 == words.size()) {
                error = "Missing argument for option '" + std::string(word.substr(1)) + "'";
                return false;
            }
            const std::string_view value = words[++i];
            const std::int64_t rate = ParseBitRate(value);
            if (rate < 0) {
                error = "Invalid value '" + std::string(value) + "' for option '" +
                        std::string(word.substr(1)) + "'";
                return false;
            }
            (word == "-b:a" ? set.AudioBitRate : set.VideoBitRate) = rate;
        } else {
            set.Unknown.emplace_back(word);
        }
    }
    return true;
}
