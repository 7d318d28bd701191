#pragma once
// Everything a host needs, in one include.

#include "wp/Error.h"
#include "wp/KSortedList.h"
#include "wp/KXml.h"
#include "wp/PageFormat.h"
#include "wp/Recordset.h"
#include "wp/TextControl.h"
#include "wp/cADO.h"
#include "wp/cUtil.h"
#include "wp/clsWP.h"
#include "wp/hooks.h"
#include "wp/modTX.h"
