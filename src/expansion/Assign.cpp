#include "expansion/Assign.hpp"

#include "register/Register.hpp"
#include "register/RegisterLine.hpp"

std::string assign(std::string_view name, const std::string& registerPath) {
    RegisterHandle h = readRegister(registerPath);
    std::string line = getRegisterLine(h, name);
    return getRegisterLineType(line) == "0" ? std::string(name) : notFound;
}

bool keepsName(const LookedUp& found) { return typeOf(found) == LineType::Basic; }

std::string assign(std::string_view name, RegisterLookUp& lookUps) {
    return keepsName(lookUp(indexOf(lookUps), name)) ? std::string(name) : notFound;
}
