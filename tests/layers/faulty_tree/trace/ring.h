// A module whose source needs the pages.
#pragma once
