#include "GuardedRequest.h"

#include "net/EHttpException.h"
#include "net/THttpCli.h"
#include "net/TRequestSlot.h"

bool GuardedGet(TRequestSlot& slot, THttpCli& client)
{
    TRequestFailure ignored;
    return GuardedGet(slot, client, ignored);
}

bool GuardedGet(TRequestSlot& slot, THttpCli& client, TRequestFailure& failure)
{
    failure = TRequestFailure{};
    // A stop that came before the request began: the request is not made at all.
    if (!slot.SetClient(&client))
        return false;
    bool ok = true;
    try {
        client.Get();
    } catch (const EHttpException& e) {
        failure = {true, e.Message(), e.ErrorCode()};
        ok = false;
    } catch (const std::exception& e) {
        failure = {true, QString::fromLocal8Bit(e.what()), 0};
        ok = false;
    } catch (...) {
        failure = {true, QStringLiteral("request failed"), 0};
        ok = false;
    }
    slot.SetClient(nullptr);
    return ok;
}
