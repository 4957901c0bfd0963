// Fuzz target: the package writer's name check; a name it accepts must come back from a directory entry unchanged and be accepted by the reader.
#include "host/Package.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace ruk::package_layout;
    std::string name(reinterpret_cast<const char*>(data), size);
    if (ruk::packable_name_problem(name))
        return 0;
    if (!ruk::is_safe_member_name(name))
        std::abort(); // the writer would store what the reader refuses
    if (name.size() >= NameWidth)
        return 0; // refused earlier by the writer as too long
    std::string field = name;
    field.resize(NameWidth, ' ');
    if (ruk::read_name_field(field) != name)
        std::abort(); // the reader would get another name back
    return 0;
}
