// The platform layer: everything a host or a module of Quorvel needs from it.
#pragma once

#include "quorvel/platform/base.h"
#include "quorvel/platform/bstr.h"
#include "quorvel/platform/bstr_ptr.h"
#include "quorvel/platform/codepage.h"
#include "quorvel/platform/com_ptr.h"
#include "quorvel/platform/errorinfo.h"
#include "quorvel/platform/guid.h"
#include "quorvel/platform/hresult.h"
#include "quorvel/platform/implements.h"
#include "quorvel/platform/marshal.h"
#include "quorvel/platform/memory.h"
#include "quorvel/platform/module.h"
#include "quorvel/platform/result.h"
#include "quorvel/platform/sync.h"
#include "quorvel/platform/unknown.h"
