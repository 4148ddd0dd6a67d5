#include "base/Errors.h"

EConvertError EConvertError::InvalidFloat(std::string_view text)
{
    return EConvertError("'" + std::string(text) + "' is not a valid floating point value");
}

EConvertError EConvertError::InvalidInteger(std::string_view text)
{
    return EConvertError("'" + std::string(text) + "' is not a valid integer value");
}

EVariantTypeCastError EVariantTypeCastError::StringToInteger()
{
    return EVariantTypeCastError("Could not convert variant of type (String) into type (Integer)");
}

EListError::EListError(long long index)
    : EBaseError("List index out of bounds (" + std::to_string(index) + ")")
{
}

EFOpenError::EFOpenError(std::string_view fileName)
    : EBaseError("Cannot open file " + std::string(fileName))
{
}

EFCreateError::EFCreateError(std::string_view fileName)
    : EBaseError("Cannot create file " + std::string(fileName))
{
}
