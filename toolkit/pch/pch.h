// Precompiled header: the heavy Qt and standard headers most sources use.
#pragma once
#ifdef __cplusplus
#include <QtCore/QtCore>
#include <QtGui/QtGui>
#include <QtWidgets/QtWidgets>
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>
#endif
