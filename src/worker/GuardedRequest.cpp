#include "GuardedRequest.h"

#include "net/THttpCli.h"
#include "net/TRequestSlot.h"

bool GuardedGet(TRequestSlot& slot, THttpCli& client)
{
    // A stop that came before the request began: the request is not made at all.
    if (!slot.SetClient(&client))
        return false;
    bool ok = true;
    try {
        client.Get();
    } catch (...) {
        ok = false;
    }
    slot.SetClient(nullptr);
    return ok;
}
