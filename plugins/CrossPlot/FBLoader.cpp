#include "FBLoader.h"

// Scaffold: replaced by the chunked loader.
struct FBLoader::Private
{
};

FBLoader::FBLoader(const QString &, const FBPickFilter &) : d(new Private)
{
}
FBLoader::~FBLoader()
{
    delete d;
}
void FBLoader::readHeader(FBPicks &picks)
{
    picks = FBPicks();
}
void FBLoader::readRecords(FBPicks &, const std::function<void(int)> &)
{
}
