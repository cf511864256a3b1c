#pragma once

// Everything a view file needs.
#include "ui/Backstage.h"
#include "ui/Controls.h"
#include "ui/CustomLayout.h"
#include "ui/GeometryReader.h"
#include "ui/Grid.h"
#include "ui/ImageView.h"
#include "ui/ScrollView.h"
#include "ui/Shapes.h"
#include "ui/Stacks.h"
#include "ui/State.h"
#include "ui/SystemEnvironment.h"
#include "ui/Task.h"
#include "ui/TextValue.h"
#include "ui/View.h"
#include "ui/ViewHost.h"
