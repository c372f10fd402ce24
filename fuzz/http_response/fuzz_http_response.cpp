// Feeds arbitrary bytes to the response parser as a server's stream: cut into pieces at
// offsets taken from the input, with the connection closed at the end, and any bytes left
// after a complete response read as the next response on a kept-alive connection.
#include "net/THttpResponseParser.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

class TCheckingSink : public THttpResponseParser::TSink
{
public:
    bool headerLine(std::string_view line, bool) override
    {
        if (line.empty() || line.size() > THttpResponseParser::kMaxLine)
            std::abort();
        return true;
    }
    bool interimResponseEnd() override { return true; }
    bool headerEnd() override { return true; }
    bool bodyData(const char* data, std::size_t size) override
    {
        if (size == 0 || size > THttpResponseParser::kMaxPiece || !data)
            std::abort();
        m_sum += static_cast<unsigned char>(data[size - 1]);
        return true;
    }

private:
    unsigned m_sum = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    // The first byte picks the piece size, so the same response is also read in odd cuts.
    const std::size_t piece = std::size_t(data[0]) + 1;
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    std::size_t left = size - 1;

    TCheckingSink sink;
    THttpResponseParser parser(sink);
    for (int response = 0; response < 8 && left > 0; ++response) {
        parser.reset(response % 2 == 1);
        while (left > 0 && !parser.finished()) {
            const std::size_t n = left < piece ? left : piece;
            const std::size_t used = parser.feed(bytes, n);
            if (used > n)
                std::abort();
            bytes += used;
            left -= used;
        }
        if (!parser.reusable())
            break;
    }
    parser.connectionClosed();
    if (!parser.finished())
        std::abort();
    return 0;
}
