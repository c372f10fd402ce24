#pragma once

#include <string>
#include <string_view>

// An "http://" address split the way the client requests it.
struct THttpUrl
{
    std::string t_Scheme; // lower case; "http" when the address names none
    std::string t_Host;   // as written; an IPv6 literal keeps its brackets
    std::string t_Port;   // as written; "80" when absent
    std::string t_Path;   // path and query, always starting with "/"; the fragment is dropped

    static THttpUrl parse(std::string_view url);

    // Host name or address to look up: brackets removed, empty when it holds characters
    // no host name has (so nothing odd reaches the resolver or the Host line).
    std::string lookupHost() const;
    // 1..65535, or 0 when the port is not a number in that range.
    int portNumber() const;
    // Value of the Host request line: the host, plus ":" and the port unless it is 80.
    std::string hostHeader() const;
    // The path as it goes on the request line: control characters, blanks and non-ASCII
    // bytes percent-encoded, so nothing can break the line apart.
    std::string requestTarget() const;
    // The address a "Location" value leads to from this address, resolved as a browser does
    // ("." and ".." segments removed, the location's query and fragment kept). Port 80 is
    // not written into the result.
    std::string resolve(std::string_view location) const;
    bool sameEndpoint(const THttpUrl& other) const;
};
