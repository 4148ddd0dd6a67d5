#include "base/Errors.h"

#include <cstring>

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

EFOpenError::EFOpenError(std::string_view fileName, std::string_view reason)
    : EBaseError("Cannot open file " + std::string(fileName) + (reason.empty() ? "" : ": " + std::string(reason)))
{
}

ETextTooLarge::ETextTooLarge(std::string_view fileName, size_t ceiling) : EFOpenError(fileName)
{
    const std::string size = ceiling % (size_t(1) << 30) == 0 ? std::to_string(ceiling >> 30) + " GB"
                             : ceiling % (size_t(1) << 20) == 0 ? std::to_string(ceiling >> 20) + " MB"
                                                                : std::to_string(ceiling) + " bytes";
    SetMessage(Message() + ": it is larger than " + size);
}

EFCreateError::EFCreateError(std::string_view fileName, std::string_view reason)
    : EBaseError("Cannot create file " + std::string(fileName) + (reason.empty() ? "" : ": " + std::string(reason)))
{
}

EFCreateError EFCreateError::System(std::string_view fileName, int error)
{
    return EFCreateError(fileName, std::strerror(error));
}
