// The start-up settings of the bunny-mark: read once, before the window opens.
title = "Quillorane bunny-mark";
width = 800;
height = 600;
