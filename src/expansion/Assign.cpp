#include "expansion/Assign.hpp"

#include "register/Register.hpp"
#include "register/RegisterLine.hpp"

std::string assign(std::string_view name, const std::string& registerPath) {
    RegisterHandle h = readRegister(registerPath);
    std::string line = getRegisterLine(h, name);
    return getRegisterLineType(line) == "0" ? std::string(name) : notFound;
}

bool keepsName(const RegisterIndex& ix, const LookedUp& found) {
    return typeOf(ix, found) == LineType::Basic;
}

std::string assign(std::string_view name, RegisterLookUp& lookUps) {
    const RegisterIndex& ix = indexOf(lookUps);
    return keepsName(ix, lookUp(ix, name)) ? std::string(name) : notFound;
}
