#include "GuardedRequest.h"

#include "net/THttpCli.h"
#include "net/TRequestSlot.h"

bool GuardedGet(TRequestSlot& slot, THttpCli& client)
{
    slot.SetClient(&client);
    bool ok = true;
    try {
        client.Get();
    } catch (...) {
        ok = false;
    }
    slot.SetClient(nullptr);
    return ok;
}
