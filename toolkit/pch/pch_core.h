// Precompiled header of the layers without widgets.
#pragma once
#ifdef __cplusplus
#include <QtCore/QtCore>
#include <QtGui/QtGui>
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>
#endif
