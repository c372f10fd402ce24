#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The options of one side of a task, from the command-line syntax the option builder writes:
// "-vn", "-sn", "-b:a <rate>", "-b:v <rate>", separated by blanks.
struct TFFOptionSet
{
    bool NoVideo = false;
    bool NoSubtitles = false;
    std::int64_t AudioBitRate = 0; // bit/s; 0: not given
    std::int64_t VideoBitRate = 0;
    std::vector<std::string> Unknown; // options this component does not know, as written
};

class TFFOptionParser
{
public:
    // Adds the options of text to set. False with error for a known option with a missing
    // or bad value; an unknown option is only listed in set.Unknown (the caller decides).
    static bool Parse(std::string_view text, TFFOptionSet& set, std::string& error);

    // "128k" -> 128000; also plain numbers and the suffixes K, M and G. -1 when not a rate.
    static std::int64_t ParseBitRate(std::string_view text);
};
