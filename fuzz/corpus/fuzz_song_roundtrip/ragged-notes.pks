Plinkora Song
200 ms
2 Pattern
1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 
5 6 7 8 
1 Songlines
1 
