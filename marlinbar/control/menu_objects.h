// The host form's menu objects: automation objects with Name, Caption and,
// for members of a control array, Index. Taken from the container when it
// offers them, otherwise made from the form's menu tree.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <string>
#include <vector>

#include "control/com_ptr.h"

namespace marlinbar {

// The menu objects among the container's objects, in the container's order.
std::vector<ComPtr<IDispatch>> ContainerMenuObjects(IOleClientSite* site);

// Menu objects for the items of a menu bar, in menu order, depth first: a
// command item is named "mnu" and its command identifier in decimal, an item
// that opens a sub-menu "mnuPopup" and its positions from the bar joined by
// "_"; the caption is the item's text ("-" for a separator). They have no
// Index.
std::vector<ComPtr<IDispatch>> MenuTreeObjects(HMENU bar);

// pvMenuKey: Name, or Name ":" Index when the object has an Index of 0 or
// more.
std::wstring pvMenuKey(IDispatch* menu);

}  // namespace marlinbar
