#pragma once
// Query strings and application/x-www-form-urlencoded bodies: "a=1&b=x+y%21".

#include <string>
#include <string_view>

// The decoded value of the first field called `name` ("+" is a blank, "%XX" a byte);
// empty when there is none or its escapes are broken.
[[nodiscard]] std::string FormField(std::string_view form, std::string_view name);
