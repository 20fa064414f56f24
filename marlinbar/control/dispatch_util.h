// Reading and writing properties of automation objects by name, the way
// the control reads the host's menu objects and fonts.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <olectl.h>

#include <string>

#include "control/com_ptr.h"

namespace marlinbar {

// Reads the property `name` of `object`; fails when the object has no such
// property or reading it fails.
HRESULT GetPropertyByName(IDispatch* object, const wchar_t* name, VARIANT* value);
// Calls a method or reads a parameterised property by dispatch id.
HRESULT InvokeGet(IDispatch* object, DISPID id, VARIANT* args, UINT count, VARIANT* result);
// Whether the object knows every one of the names.
bool HasNames(IDispatch* object, std::initializer_list<const wchar_t*> names);
// The text of a variant (empty when it cannot be turned into text).
std::wstring VariantText(const VARIANT& value);
// A 32-bit number from a variant; false when it cannot be turned into one.
bool VariantLong(const VARIANT& value, LONG* number);

// Whether two keys are the same, letter case aside (as collection and
// property bag keys are compared).
bool SameKey(const std::wstring& a, const std::wstring& b);

// The system's menu font as a font description; `face` receives the name
// the description points to.
FONTDESC SystemMenuFontDesc(std::wstring* face);

}  // namespace marlinbar
