#include "mapview/MissingNames.h"

#include "base/Convert.h"

TMissingNames::TMissingNames() : FKey(UpperCaseLatin1) {}

TMissingNames::TMissingNames(TKey key) : FKey(std::move(key)) {}

bool TMissingNames::Add(const std::string& name)
{
    if (!FKeys.insert(FKey(name)).second)
        return false;
    FNames.push_back(name);
    return true;
}
