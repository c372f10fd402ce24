#include "THttpUrl.h"

#include "AsciiText.h"

#include <algorithm>
#include <cctype>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view trimmed(std::string_view s)
{
    return ascii::trimmed(s, isBlank);
}

using ascii::equalNoCase;
using ascii::lower;
using ascii::startsWithNoCase;

bool isSchemeChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
}

// The path with its "." and ".." segments applied; ".." never climbs above the root.
std::string withoutDotSegments(std::string_view path)
{
    std::string out;
    std::string in(path);
    std::size_t at = 0; // start of the input not yet handled
    auto starts = [&](std::string_view prefix) {
        return std::string_view(in).substr(at, prefix.size()) == prefix;
    };
    auto rest = [&] {
        return std::string_view(in).substr(at);
    };
    auto dropLastSegment = [&] {
        const std::size_t slash = out.rfind('/');
        out.erase(slash == std::string::npos ? 0 : slash);
    };
    while (at < in.size()) {
        if (starts("../")) {
            at += 3;
        } else if (starts("./")) {
            at += 2;
        } else if (starts("/./")) {
            at += 2;
        } else if (rest() == "/.") {
            in.replace(at, 2, "/");
        } else if (starts("/../")) {
            at += 3;
            dropLastSegment();
        } else if (rest() == "/..") {
            in.replace(at, 3, "/");
            dropLastSegment();
        } else if (rest() == "." || rest() == "..") {
            at = in.size();
        } else {
            const std::size_t next = in.find('/', at + 1);
            const std::size_t end = next == std::string::npos ? in.size() : next;
            out.append(in, at, end - at);
            at = end;
        }
    }
    return out;
}

} // namespace

THttpUrl THttpUrl::parse(std::string_view url)
{
    THttpUrl result;
    std::string_view rest = trimmed(url);

    const std::size_t schemeEnd = rest.find("://");
    if (schemeEnd != std::string_view::npos && schemeEnd > 0 &&
        std::all_of(rest.begin(), rest.begin() + schemeEnd, isSchemeChar)) {
        result.t_Scheme.reserve(schemeEnd);
        for (char c : rest.substr(0, schemeEnd))
            result.t_Scheme += lower(c);
        rest.remove_prefix(schemeEnd + 3);
    } else {
        result.t_Scheme = "http";
    }

    const std::size_t authorityEnd = rest.find_first_of("/?#");
    std::string_view authority = rest.substr(0, authorityEnd);
    std::string_view path =
        authorityEnd == std::string_view::npos ? std::string_view() : rest.substr(authorityEnd);

    // No credentials are ever sent: user information before "@" is dropped.
    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos)
        authority.remove_prefix(at + 1);

    std::string_view host = authority;
    std::string_view port;
    if (!authority.empty() && authority.front() == '[') {
        const std::size_t close = authority.find(']');
        if (close != std::string_view::npos) {
            host = authority.substr(0, close + 1);
            std::string_view after = authority.substr(close + 1);
            if (!after.empty() && after.front() == ':')
                port = after.substr(1);
        }
    } else if (const std::size_t colon = authority.rfind(':'); colon != std::string_view::npos) {
        host = authority.substr(0, colon);
        port = authority.substr(colon + 1);
    }
    result.t_Host = std::string(host);
    result.t_Port = port.empty() ? std::string("80") : std::string(port);

    if (const std::size_t hash = path.find('#'); hash != std::string_view::npos)
        path = path.substr(0, hash);
    if (path.empty() || path.front() != '/')
        result.t_Path = "/";
    result.t_Path += path;
    return result;
}

std::string THttpUrl::lookupHost() const
{
    std::string_view host = t_Host;
    if (host.size() > 253)
        return {};
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
        const bool ok = !host.empty() && std::all_of(host.begin(), host.end(), [](char c) {
            return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.';
        });
        return ok ? std::string(host) : std::string();
    }
    const bool ok = !host.empty() && std::all_of(host.begin(), host.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_';
    });
    return ok ? std::string(host) : std::string();
}

int THttpUrl::portNumber() const
{
    if (t_Port.empty() || t_Port.size() > 5)
        return 0;
    int value = 0;
    for (char c : t_Port) {
        if (c < '0' || c > '9')
            return 0;
        value = value * 10 + (c - '0');
    }
    return value >= 1 && value <= 65535 ? value : 0;
}

std::string THttpUrl::hostHeader() const
{
    const int port = portNumber();
    if (port == 80)
        return t_Host;
    return t_Host + ":" + (port ? std::to_string(port) : t_Port);
}

std::string THttpUrl::requestTarget() const
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(t_Path.size());
    for (char c : t_Path) {
        const auto b = static_cast<unsigned char>(c);
        if (b <= 0x20 || b >= 0x7F) {
            out += '%';
            out += hex[b >> 4];
            out += hex[b & 0x0F];
        } else {
            out += c;
        }
    }
    return out;
}

std::string THttpUrl::resolve(std::string_view location) const
{
    location = trimmed(location);
    if (location.substr(0, 2) == "//")
        return t_Scheme + ":" + std::string(location);
    if (startsWithNoCase(location, "http://") || startsWithNoCase(location, "https://"))
        return std::string(location);

    // The rest is resolved as a browser does: the reference's path merged with this one and
    // rid of "." and ".." segments; the reference's query and fragment kept as they are.
    std::string origin = t_Scheme + "://" + t_Host;
    if (portNumber() != 80)
        origin += ":" + t_Port;
    const std::size_t tail = location.find_first_of("?#");
    const std::string_view path = location.substr(0, tail);
    const std::string_view rest =
        tail == std::string_view::npos ? std::string_view() : location.substr(tail);
    const std::size_t query = t_Path.find('?');
    const std::string_view basePath = std::string_view(t_Path).substr(0, query);
    const std::string_view baseQuery =
        query == std::string::npos ? std::string_view() : std::string_view(t_Path).substr(query);

    if (path.empty()) {
        // Only a query or a fragment: the same path, and the same query unless one is given.
        if (!rest.empty() && rest.front() == '?')
            return origin + std::string(basePath) + std::string(rest);
        return origin + std::string(basePath) + std::string(baseQuery) + std::string(rest);
    }
    std::string merged;
    if (path.front() != '/')
        merged = basePath.substr(0, basePath.rfind('/') + 1);
    merged += path;
    return origin + withoutDotSegments(merged) + std::string(rest);
}

bool THttpUrl::sameEndpoint(const THttpUrl& other) const
{
    return t_Scheme == other.t_Scheme && equalNoCase(t_Host, other.t_Host) &&
           portNumber() == other.portNumber();
}
