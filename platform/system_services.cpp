#include "platform/system_services.h"

SystemServices& SystemServices::standard() noexcept
{
    static SystemServices services;
    return services;
}
