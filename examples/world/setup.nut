// The start-up settings of the world example: read once, before the window opens.
title = "Quillorane world";
width = 640;
height = 480;
