#pragma once
// The grid's one error boundary for keys and clicks (included by the grid's own files).
#include "wDBGrid.h"
#include "data/core/DatabaseError.h"
#include <exception>

namespace components {

// Errors of the dataset end the key or click that caused them and are reported as the
// application reports any error; a silent abort just ends it.
template <typename F> void TwDBGrid::guarded(F &&body)
{
    try {
        body();
        return;
    } catch (const EAbort &) {
    } catch (const data::DatabaseError &e) {
        reportError(e.message());
    } catch (const std::exception &e) {
        reportError(QString::fromUtf8(e.what()));
    }
    syncing_ = false;
    syncCurrent();
}

} // namespace components
