#pragma once

#include <QString>

class THttpCli;
class TRequestSlot;

// The one way a worker thread makes a request: the client is registered in slot while Get
// runs (so a stop can abort it), whatever Get throws is swallowed, and the registration is
// cleared before the caller frees the client. The outcome is judged from what the client's
// handlers recorded; the result only says whether Get returned without an exception. When
// the slot was stopped before (TRequestSlot::AbortRequest), Get is not called: false.
bool GuardedGet(TRequestSlot& slot, THttpCli& client);

// What a request's Get threw: its message and its number (an HTTP status of the reply, or a
// request error such as httperrStreamWrite).
struct TRequestFailure
{
    bool failed = false;
    QString message;
    int code = 0;
};

// GuardedGet that also keeps what Get threw.
bool GuardedGet(TRequestSlot& slot, THttpCli& client, TRequestFailure& failure);
