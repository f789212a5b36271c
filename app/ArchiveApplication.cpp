#include "app/ArchiveApplication.h"

#include "app/ArchiveCore.h"

TArchiveApplication::TArchiveApplication() {
    TArchiveCore::Instance();
}

TArchiveApplication& TArchiveApplication::Instance() {
    static TArchiveApplication application;
    return application;
}
